// The seed fixture (see README.md): servers with their people, groups, address books and mail.
#pragma once

#include "admin.h"
#include "appointment.h"

#include "notes/admin/mail.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace nsfadmin {

using json = nlohmann::json;

struct SeedPerson {
    PersonEntry entry;
    std::string password;
    std::vector<notes::mail::Message> mail; // times relative to now (ticks before it)
    std::vector<AppointmentEntry> calendar; // dates already made real (days from the seeding day)
    std::vector<std::string> readers;       // directory people with reader access to the mail file
    std::vector<PersonEntry> contacts;
    std::vector<GroupEntry> groups;
};

struct SeedServer {
    std::string name;
    std::string domain;
    std::vector<SeedPerson> people;
    std::vector<GroupEntry> groups;
};

// What is wrong with a fixture, with where it is ("servers[0].people[2].shortName: missing").
struct FixtureError {
    std::string message;
};

// Reads and checks a whole fixture; files it names are relative to baseDir. Throws FixtureError.
std::vector<SeedServer> readFixture(const json& root, const std::string& baseDir);

} // namespace nsfadmin
