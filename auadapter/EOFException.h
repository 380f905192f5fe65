// Data that ends before everything it announces has been read.
#pragma once

#include "auadapter/TwinfoldException.h"

class EOFException : public TwinfoldException
{
public:
    using TwinfoldException::TwinfoldException;
};
