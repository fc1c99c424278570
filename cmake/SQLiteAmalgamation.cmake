# SQLite for the Windows build, compiled from its amalgamation (scripts/fetch-sqlite
# puts it in .cache/), under the same name as the system's package: SQLite::SQLite3.
set(TAVRIN_SQLITE_VERSION 3.52.0)
set(TAVRIN_SQLITE_AMALGAMATION ${PROJECT_SOURCE_DIR}/.cache/sqlite-${TAVRIN_SQLITE_VERSION}
    CACHE PATH "Folder holding SQLite's sqlite3.c and sqlite3.h")
if(NOT EXISTS ${TAVRIN_SQLITE_AMALGAMATION}/sqlite3.c)
  message(FATAL_ERROR "SQLite's amalgamation is missing from ${TAVRIN_SQLITE_AMALGAMATION}: run scripts/fetch-sqlite")
endif()

enable_language(C)
add_library(tavrin_sqlite3 STATIC ${TAVRIN_SQLITE_AMALGAMATION}/sqlite3.c)
target_include_directories(tavrin_sqlite3 SYSTEM PUBLIC ${TAVRIN_SQLITE_AMALGAMATION})
target_compile_definitions(tavrin_sqlite3 PRIVATE
  SQLITE_THREADSAFE=1                 # connection threads share the process's session
  SQLITE_ENABLE_COLUMN_METADATA       # query fields learn their table and column
  SQLITE_OMIT_LOAD_EXTENSION)         # the engine never loads code from a data folder
# Upstream code: its own warnings are not ours to fix.
set_source_files_properties(${TAVRIN_SQLITE_AMALGAMATION}/sqlite3.c PROPERTIES COMPILE_OPTIONS -w)
add_library(SQLite::SQLite3 ALIAS tavrin_sqlite3)
