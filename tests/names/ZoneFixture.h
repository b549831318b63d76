// Runs each test in a fixed time zone and restores the previous one afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

class TZoneTest : public ::testing::Test {
protected:
    void SetZone(const char* pszZone)
    {
        if (!m_saved) {
            const char* pszOld = std::getenv("TZ");
            m_saved = pszOld ? std::string(pszOld) : std::string();
        }
        setenv("TZ", pszZone, 1);
        tzset();
    }
    void SetUp() override { SetZone("UTC0"); }
    void TearDown() override
    {
        if (m_saved->empty())
            unsetenv("TZ");
        else
            setenv("TZ", m_saved->c_str(), 1);
        tzset();
    }

    // North American eastern time with its daylight-saving rule, as a POSIX zone string.
    static constexpr const char* kEastern = "EST5EDT,M3.2.0,M11.1.0";

private:
    std::optional<std::string> m_saved;
};
