#pragma once

#include <memory>
#include <string>

// What a committed save survives.
enum class TDurability {
    // A power cut: the file and the rename are on disk before Commit returns.
    PowerCut,
    // A crash of the program only: the system writes the file out in its
    // own time, and a save costs no wait for the disk.
    ProgramCrash,
};

// A new version of a file, written beside it under a temporary name of its
// own and then put in its place in one step, so a reader or a crash never
// sees half of it. Until Commit the temporary file is held: another process
// cannot take it for one a crashed save left behind (RemoveIfAbandoned).
// Destroyed without Commit, it removes itself.
class TSaveFile {
public:
    // Temporary names are target + kSuffixStart + six letters or digits.
    static constexpr char kSuffixStart = '.';
    static constexpr size_t kSuffixLetters = 6;

    explicit TSaveFile(const std::string& target);
    ~TSaveFile();
    TSaveFile(const TSaveFile&) = delete;
    TSaveFile& operator=(const TSaveFile&) = delete;

    bool Valid() const;
    bool Write(const std::string& bytes);
    // Gives the file the permission bits (where the system has them), makes
    // it as durable as asked and puts it in the target's place.
    bool Commit(unsigned mode, TDurability durability = TDurability::PowerCut);

private:
    struct TImpl;
    std::string m_target;
    std::string m_name;
    std::unique_ptr<TImpl> m_impl;
    bool m_committed = false;
};

// Removes the temporary file of a save at path, unless a save still holds
// it. False when it is held, gone, or not a plain file.
bool RemoveIfAbandoned(const std::string& path);
