#pragma once

#include <QString>
#include <QStringList>

// The four fixed connection profiles of a station: an alias and a parameter list each.
namespace profiles {

enum class Location
{
    Local,
    Server
};

inline constexpr int interbaseLineCount = 19;
inline constexpr int mysqlLineCount = 18;

// The InterBase list as the Local profile has it; the Server profile differs in line 1 only.
extern const char16_t *const interbaseLines[interbaseLineCount];
extern const char16_t *const interbaseServerNameLocal;  // line 1 of the Local profile
extern const char16_t *const interbaseServerNameServer; // line 1 of the Server profile

// The MySQL lists, one column per location.
extern const char16_t *const mysqlLines[mysqlLineCount][2];

extern const char16_t *const interbaseAlias;  // "Jump", both locations
extern const char16_t *const mysqlAliases[2]; // "JumpLocal", "JumpServer"

QString interbaseServerName(Location location);
QStringList interbaseParams(Location location);
QString mysqlAlias(Location location);
QStringList mysqlParams(Location location);

} // namespace profiles
