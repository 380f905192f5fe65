// One program of the effect: only a name.
#pragma once

#include <cstring>

class Program
{
public:
    Program() { std::strcpy(name, "Init"); }
    ~Program() = default;

    char name[24];
};
