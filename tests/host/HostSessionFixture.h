// A host session opened, started and driven through the scripted host application.
#pragma once

#include "ScriptedHostApp.h"
#include "VantryHostSession.h"

#include <cstdint>
#include <gtest/gtest.h>

class THostSessionFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens and starts a session at the given protocol version (platform byte 1 unless OEM).
    void OpenSession(std::uint16_t nVersion = 9, bool bOEMNames = false, std::uint16_t nPrivileges = 0xE0,
                     std::uint8_t nLevel = 34);
    // Ends the current session and starts over on a fresh connection.
    void Restart();
    // Answers the stop messages the session posted, as the host application does.
    void AnswerStops();
    // Feeds bytes in pieces of nSplit and runs the loop.
    void Send(const Bytes& bytes, std::size_t nSplit = 4096) { m_app.FeedInPieces(bytes, nSplit); }
    bool StopRequested() const { return !m_window.messages.empty(); }

    TScriptedHostApp m_app;
    TScriptedWindow m_window;
    TVantryHostSession* m_pSession = nullptr;
};

// A request with names: code, fixed block, name and directory string.
Bytes NamesRequest(std::uint8_t nCode, std::size_t nBlock, const std::string& name, const std::string& dir,
                   const Bytes& block = {});
