#pragma once

#include "member/ClientConnection.h"
#include "support/RunToEnd.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string>
#include <vector>

// Reads a whole file as bytes; empty when it does not exist.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// The log file's entries with their time stamps cut off; a continuation
// line of an entry (a CR LF inside its text) stays part of that entry.
std::vector<std::string> LogEntries(const std::string& logBytes);

// Gives every test its own folder with SysOption and MemberOption (both from
// Option.ini there, loaded with defaults) and LogFile (test.LOG there) as the
// process-wide objects, and no CurrentMemberDevice. Everything is put back afterwards.
class TProcessObjectsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Dir() const;
    std::string OptionPath() const;
    std::string LogPath() const;
    std::string LogBytes() const;
    // Entries as GBK bytes, see LogEntries.
    std::vector<std::string> Log() const;

private:
    QTemporaryDir m_dir;
};

// A connection that keeps what is written to it; can be told to fail.
class TRecordingConnection : public TClientConnection {
public:
    bool Gone() const override { return false; }
    asio::awaitable<void> Write(std::string bytes) override;

    std::string Written;
    bool FailWrites = false;
};

