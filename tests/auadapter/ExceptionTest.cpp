#include "auadapter/EOFException.h"
#include "auadapter/FormatException.h"
#include "auadapter/MacOSException.h"
#include "auadapter/TwinfoldException.h"

#include <gtest/gtest.h>

#include <string>

TEST(TwinfoldException, KeepsAtMost255CharactersOfItsMessage)
{
    EXPECT_STREQ(TwinfoldException("VST has too many inputs").what(), "VST has too many inputs");
    const std::string longText(300, 'x');
    EXPECT_EQ(std::string(TwinfoldException(longText.c_str()).what()), std::string(255, 'x'));
    EXPECT_STREQ(TwinfoldException(nullptr).what(), "");
}

TEST(TwinfoldException, FormatAndEndOfFileAreCaughtAsTwinfoldExceptions)
{
    EXPECT_THROW(throw FormatException("f"), TwinfoldException);
    EXPECT_THROW(throw EOFException("e"), TwinfoldException);
    try
    {
        throw EOFException("End of file error");
    }
    catch (const std::exception& e)
    {
        EXPECT_STREQ(e.what(), "End of file error");
    }
}

TEST(MacOSException, FormatsItsCodeIntoItsText)
{
    const MacOSException fileNotFound(fnfErr);
    EXPECT_EQ(fileNotFound.getCode(), -43);
    EXPECT_STREQ(fileNotFound.what(), "Mac OS error code -43");
    EXPECT_STREQ(fileNotFound.what(), "Mac OS error code -43");
    EXPECT_STREQ(MacOSException(badComponentSelector).what(), "Mac OS error code -2147450878");
    // Not a TwinfoldException: callers map it to its own code.
    EXPECT_FALSE((std::is_base_of_v<TwinfoldException, MacOSException>));
}
