#pragma once

#include "base/ProfileFile.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

// One key of an options class: its section and name in the file, the field
// of TOwner that holds it, and its default. An options class describes its
// keys once, in a table of these in the order they are read and written,
// and the functions below give it Load, Save and its defaults from that one
// table. The key's type follows from the field's: an integer, a boolean
// (stored as "1" or "0") or a text.
template <class TOwner>
class TProfileKey {
public:
    constexpr TProfileKey(std::string_view section, std::string_view key, int32_t TOwner::*field, int32_t def)
        : m_section(section)
        , m_key(key)
        , m_binding(TInteger {field, def})
    {
    }
    constexpr TProfileKey(std::string_view section, std::string_view key, bool TOwner::*field, bool def)
        : m_section(section)
        , m_key(key)
        , m_binding(TBool {field, def})
    {
    }
    constexpr TProfileKey(
        std::string_view section, std::string_view key, std::string TOwner::*field, std::string_view def)
        : m_section(section)
        , m_key(key)
        , m_binding(TText {field, def})
    {
    }

    void SetDefault(TOwner& owner) const
    {
        std::visit([&owner](const auto& b) { owner.*b.field = b.def; }, m_binding);
    }

    // A missing key, or a number the file's rules do not accept, gives the default.
    void Read(const TProfileFile& ini, TOwner& owner) const
    {
        std::visit(TReader {ini, owner, m_section, m_key}, m_binding);
    }

    void Write(TProfileFile& ini, const TOwner& owner) const
    {
        std::visit(TWriter {ini, owner, m_section, m_key}, m_binding);
    }

private:
    struct TInteger {
        int32_t TOwner::*field;
        int32_t def;
    };
    struct TBool {
        bool TOwner::*field;
        bool def;
    };
    struct TText {
        std::string TOwner::*field;
        std::string_view def;
    };

    struct TReader {
        const TProfileFile& ini;
        TOwner& owner;
        std::string_view section;
        std::string_view key;
        void operator()(const TInteger& b) const { owner.*b.field = ini.ReadInteger(section, key, b.def); }
        void operator()(const TBool& b) const { owner.*b.field = ini.ReadBool(section, key, b.def); }
        void operator()(const TText& b) const { owner.*b.field = ini.ReadString(section, key, b.def); }
    };

    struct TWriter {
        TProfileFile& ini;
        const TOwner& owner;
        std::string_view section;
        std::string_view key;
        void operator()(const TInteger& b) const { ini.WriteInteger(section, key, owner.*b.field); }
        void operator()(const TBool& b) const { ini.WriteBool(section, key, owner.*b.field); }
        void operator()(const TText& b) const { ini.WriteString(section, key, owner.*b.field); }
    };

    std::string_view m_section;
    std::string_view m_key;
    std::variant<TInteger, TBool, TText> m_binding;
};

// TOwner is taken from the object, so a plain array of keys can be passed.
template <class TOwner>
using TProfileKeys = std::span<const TProfileKey<std::type_identity_t<TOwner>>>;

template <class TOwner>
void SetProfileDefaults(TProfileKeys<TOwner> keys, TOwner& owner)
{
    for (const auto& key : keys) {
        key.SetDefault(owner);
    }
}

// Reads every key, in table order. A missing file reads as empty.
template <class TOwner>
void LoadProfile(const std::string& fileName, TProfileKeys<TOwner> keys, TOwner& owner)
{
    const TProfileFile ini(fileName);
    for (const auto& key : keys) {
        key.Read(ini, owner);
    }
}

// Writes every key, in table order, and replaces the file in one step;
// sections and keys outside the table stay as they are. Throws EWriteError,
// and the file is then as it was.
template <class TOwner>
void SaveProfile(const std::string& fileName, TProfileKeys<TOwner> keys, const TOwner& owner)
{
    TProfileFile ini(fileName);
    for (const auto& key : keys) {
        key.Write(ini, owner);
    }
    ini.UpdateFile();
}
