// Data that is not in the expected format.
#pragma once

#include "auadapter/TwinfoldException.h"

class FormatException : public TwinfoldException
{
public:
    using TwinfoldException::TwinfoldException;
};
