#include "CheckedCalls.h"
#include "Exceptions.h"

#include <cerrno>
#include <gtest/gtest.h>

TEST(CheckedCalls, FailedCallStoresItsCodeAndRaisesNotSupported)
{
    SetLastFailureCode(0);
    EXPECT_NO_THROW(CheckCall(true, kFail_GetDlgItem));
    EXPECT_EQ(GetLastFailureCode(), 0);
    EXPECT_THROW(CheckCall(false, kFail_GetDlgItem), CNotSupportedException);
    EXPECT_EQ(GetLastFailureCode(), kFail_GetDlgItem);
}

TEST(CheckedCalls, InjectedMemoryFailuresCarryTheirOwnCodes)
{
    const struct {
        int nCode;
        void (*pfnCall)();
    } cases[] = {
        {kFail_GlobalAlloc, [] { CheckedGlobalAlloc(16); }},
        {kFail_GlobalLock, [] { int n = 0; CheckedGlobalLock(&n); }},
        {kFail_GlobalFree, [] { CheckedGlobalFree(nullptr); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nCode);
        InjectCallFailure(c.nCode);
        EXPECT_THROW(c.pfnCall(), CNotSupportedException);
        EXPECT_EQ(GetLastFailureCode(), c.nCode);
    }
}

TEST(CheckedCalls, CheckRoutineRaisesMemoryExceptionOnFalse)
{
    EXPECT_NO_THROW(VCheck(true));
    EXPECT_THROW(VCheck(false), CMemoryException);
}

TEST(FileException, CauseFollowsTheOsError)
{
    const struct {
        long lErrno;
        int nCause;
    } cases[] = {
        {ENOENT, CFileException::fileNotFound}, {EACCES, CFileException::accessDenied},
        {ENOSPC, CFileException::diskFull},     {EMFILE, CFileException::tooManyOpenFiles},
        {ENOTDIR, CFileException::badPath},     {EPROTO, CFileException::generic},
    };
    for (const auto& c : cases) {
        try {
            CFileException::ThrowOsError(c.lErrno);
            FAIL();
        } catch (const CFileException& e) {
            EXPECT_EQ(e.m_cause, c.nCause) << c.lErrno;
            EXPECT_EQ(e.m_lOsError, c.lErrno);
        }
    }
}
