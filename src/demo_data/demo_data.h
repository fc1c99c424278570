#pragma once
// The demo data folder: the product's marker file and a database with the two tables
// the server reads, filled with users that cover every login outcome and a few hundred
// products (accented and other non-ASCII descriptions, inactive items, equal
// descriptions). The users' table is protected with the product's password; the
// products' table is open. docs/database.md lists the users.
//
// Threading: one caller at a time per folder.

#include <cstdint>
#include <string>

namespace tavrin {

namespace TDemoData {
inline constexpr char kMarkerFileName[] = "zul.dll";
// The password the product adds before reading its users.
inline constexpr char kUsersPassword[] = "wendolq";
// Marks a database file as made here, so that only such a file is ever replaced.
inline constexpr std::int32_t kApplicationId = 0x54415644;
inline constexpr int kProductCount = 300;
inline constexpr char kNotADemoDatabase[] = "Not a demo database, left as it is: ";  // + the file
}  // namespace TDemoData

// Makes Folder (a UTF-8 path; created when missing) a demo data folder: writes the
// marker file when missing and builds the database file anew, replacing one that an
// earlier call made. Raises EDatabaseError when the folder already holds a database
// file made otherwise (it is left untouched) or when SQLite fails, and
// std::filesystem::filesystem_error when the folder or marker cannot be made.
void CreateDemoData(const std::string& Folder);

}  // namespace tavrin
