#include "guard.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

using namespace ostrel;

namespace {

constexpr long kFailed = -1;
constexpr long kNoMemory = -2;

} // namespace

TEST(Guard, PassesTheResultAndRecordsNothingWithoutAnException) {
    const unsigned long before = LastCaughtException().m_nCount;
    EXPECT_EQ(GuardCall("quiet", kFailed, kNoMemory, [] { return 42L; }), 42L);
    EXPECT_EQ(LastCaughtException().m_nCount, before);
}

TEST(Guard, EachKindOfExceptionGivesItsCodeAndIsRecorded) {
    struct SCase {
        const char* m_pszWhere;
        void (*m_pThrow)();
        long m_nExpected;
        const char* m_pszWhat;
    } const cases[] = {
        {"WndProc", [] { throw std::runtime_error("bad state"); }, kFailed, "bad state"},
        {"Export", [] { throw std::bad_alloc(); }, kNoMemory, "out of memory"},
        {"Method", [] { throw 7; }, kFailed, "unknown exception"},
    };
    for (const auto& c : cases) {
        const unsigned long before = LastCaughtException().m_nCount;
        const long result = GuardCall(c.m_pszWhere, kFailed, kNoMemory, [&] {
            c.m_pThrow();
            return 0L;
        });
        EXPECT_EQ(result, c.m_nExpected) << c.m_pszWhere;
        const SCaughtException caught = LastCaughtException();
        EXPECT_EQ(caught.m_strWhere, c.m_pszWhere);
        EXPECT_EQ(caught.m_strWhat, c.m_pszWhat);
        EXPECT_EQ(caught.m_nCount, before + 1);
    }
}

TEST(Guard, OneFailureCodeServesBothAndLongTextsAreCut) {
    const std::string where(100, 'w');
    const std::string what(400, 'x');
    EXPECT_EQ(GuardCall(where.c_str(), 0, [] { return (throw std::bad_alloc(), 1); }), 0);
    EXPECT_EQ(GuardCall(where.c_str(), false, [&]() -> bool { throw std::logic_error(what); }),
              false);
    const SCaughtException caught = LastCaughtException();
    EXPECT_EQ(caught.m_strWhere, std::string(63, 'w'));
    EXPECT_EQ(caught.m_strWhat, std::string(255, 'x'));
}
