#include "auadapter/EOFException.h"
#include "auadapter/FormatException.h"
#include "auadapter/MacOSException.h"

#include <gtest/gtest.h>

#include <string>

TEST(TwinfoldException, KeepsAtMost255CharactersAndItsKind)
{
    EXPECT_EQ(std::string(TwinfoldException(std::string(300, 'x').c_str()).what()), std::string(255, 'x'));
    EXPECT_STREQ(TwinfoldException(nullptr).what(), "");
    EXPECT_THROW(throw FormatException("f"), TwinfoldException);
    EXPECT_THROW(throw EOFException("e"), TwinfoldException);
}

TEST(MacOSException, FormatsItsCodeIntoItsText)
{
    const MacOSException fileNotFound(fnfErr);
    EXPECT_STREQ(fileNotFound.what(), "Mac OS error code -43");
    EXPECT_STREQ(fileNotFound.what(), "Mac OS error code -43");
    EXPECT_STREQ(MacOSException(badComponentSelector).what(), "Mac OS error code -2147450878");
    EXPECT_FALSE((std::is_base_of_v<TwinfoldException, MacOSException>));
}
