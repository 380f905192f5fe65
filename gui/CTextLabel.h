// One line of text on a dark rounded plate, or nothing at all while the text
// is empty (the window's background then shows). The text is kept in the
// view itself: setting it never allocates.
#pragma once

#include "gui/CColor.h"
#include "gui/CView.h"

#include <array>

class CTextLabel : public CView
{
public:
    static constexpr size_t kMaxLength = 63;

    // [UI thread]
    explicit CTextLabel(const CRect& size);

    // [UI thread] Cut to kMaxLength bytes; marks the label dirty when it changed.
    void setText(const char* text);
    const char* getText() const { return text.data(); }
    void setFontSize(double size) { fontSize = size; }
    void setTextColor(const CColor& colour) { textColour = colour; }
    void setBackColor(const CColor& colour) { backColour = colour; }

    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* s) const override;

private:
    std::array<char, kMaxLength + 1> text{};
    double fontSize = 8.0;
    CColor textColour = kWhiteCColor;
    CColor backColour = kBlackCColor;
};
