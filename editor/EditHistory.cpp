#include "editor/EditHistory.h"

#include <utility>

void EditHistory::push(Step step)
{
    steps.resize(applied);
    steps.push_back(std::move(step));
    if (steps.size() > kDepth)
        steps.pop_front();
    applied = steps.size();
}

const EditHistory::Step* EditHistory::undo()
{
    if (applied == 0)
        return nullptr;
    return &steps[--applied];
}

const EditHistory::Step* EditHistory::redo()
{
    if (applied == steps.size())
        return nullptr;
    return &steps[applied++];
}

void EditHistory::clear()
{
    steps.clear();
    applied = 0;
}
