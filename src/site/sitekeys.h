#pragma once

#include "sitefile.h"
#include "sitevalue.h"

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include <optional>
#include <span>
#include <type_traits>

namespace kestrin {

// The sections and keys a site file may hold, in one table (sitekeys.cpp):
// a row names the key and says how its value is read and checked and where
// it is kept. Adding a key is adding a row; a key that has no row is an error.
class SiteKeys final
{
public:
    enum class Section { Gateway, Bridge, Sensor };

    // Stores a checked value; on failure returns the phrase that follows the
    // key's name in the message, and stores nothing.
    using Store = std::optional<QString> (*)(QStringView text, SiteFile &site, SiteFile::Sensor &sensor);

    struct Key
    {
        Section section;
        QLatin1StringView name;
        Store store;
        bool required = false;
    };

    static std::span<const Key> all();
    static const Key *find(Section section, QStringView name);

    // The known key of that section, or section name, that `typed` most
    // likely misspells; empty when none is close.
    static QString suggestKey(Section section, QStringView typed);
    static QString suggestSection(QStringView typed);

    // A row: the section follows from the member's class (SiteFile itself
    // for [gateway], SiteFile::Bridge, SiteFile::Sensor).
    template <auto Member, auto Parse>
    static constexpr Key key(QLatin1StringView name, bool required = false)
    {
        return Key{sectionOf<typename MemberOwner<decltype(Member)>::type>(), name, &store<Member, Parse>, required};
    }

private:
    template <typename T>
    struct MemberOwner;
    template <typename Owner, typename Value>
    struct MemberOwner<Value Owner::*>
    {
        using type = Owner;
    };

    template <typename Owner>
    static constexpr Section sectionOf()
    {
        if constexpr (std::is_same_v<Owner, SiteFile>)
            return Section::Gateway;
        else if constexpr (std::is_same_v<Owner, SiteFile::Bridge>)
            return Section::Bridge;
        else {
            static_assert(std::is_same_v<Owner, SiteFile::Sensor>);
            return Section::Sensor;
        }
    }

    template <auto Member, auto Parse>
    static std::optional<QString> store(QStringView text, SiteFile &site, SiteFile::Sensor &sensor)
    {
        auto parsed = Parse(text);
        if (!parsed.value)
            return parsed.problem;
        using Owner = typename MemberOwner<decltype(Member)>::type;
        if constexpr (std::is_same_v<Owner, SiteFile>)
            site.*Member = std::move(*parsed.value);
        else if constexpr (std::is_same_v<Owner, SiteFile::Bridge>)
            site.bridge.*Member = std::move(*parsed.value);
        else
            sensor.*Member = std::move(*parsed.value);
        return std::nullopt;
    }
};

} // namespace kestrin
