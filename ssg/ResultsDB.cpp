#include "ssg/ResultsDB.h"

#include <cstring>

namespace {

// Copies a non-null string into a fixed buffer, truncating it to fit.
void keep(char (&buffer)[ResultsDB::BufferSize], char const* value) {
  if (value == nullptr)
    return;
  std::strncpy(buffer, value, ResultsDB::BufferSize - 1);
  buffer[ResultsDB::BufferSize - 1] = '\0';
}

} // namespace

ResultsDB::ResultsDB(char const* host, int port, char const* user, char const* password,
                     char const* database)
    : Host{}, Port(0), User{}, Password{}, Database{} {
  setDBInfo(host, port, user, password, database);
}

ResultsDB::~ResultsDB() = default;

void ResultsDB::setDBInfo(char const* host, int port, char const* user, char const* password,
                          char const* database) {
  keep(Host, host);
  if (port != -1)
    Port = port;
  keep(User, user);
  keep(Password, password);
  keep(Database, database);
}

bool ResultsDB::init() {
  return true;
}

int ResultsDB::getRunId(char*) {
  return -1;
}

bool ResultsDB::writeSingleGV(char const*, char const*, char const*) {
  return true;
}

bool ResultsDB::writeGVValues() {
  return true;
}

bool ResultsDB::writeSSGExperInfo(char const*, unsigned long) {
  return true;
}
