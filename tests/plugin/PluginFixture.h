// A fresh Notes data directory per test, with the server "Mail1" holding "mail.box", "names.nsf"
// and the mail file "mail/jdoe.nsf"; the provider log goes into the same folder.
#pragma once

#include "Lattice/Logger.h"
#include "Lattice/Settings.h"
#include "notes/capi.h"
#include "notes/lncpp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A text list value as the stand-in stores it: count, lengths, characters.
inline std::string textList(const std::vector<std::string>& values) {
    std::string out;
    auto word = [&](std::size_t w) {
        const WORD v = static_cast<WORD>(w);
        out.append(reinterpret_cast<const char*>(&v), sizeof v);
    };
    word(values.size());
    for (const auto& v : values)
        word(v.size());
    for (const auto& v : values)
        out += v;
    return out;
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/hxplugin-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        std::filesystem::create_directory(dir + "/Mail1");
        setenv("NOTES_DATA_DIR", dir.c_str(), 1);
        Lattice::Settings::remove("notes.server");
        Lattice::Logger::close();
        Lattice::Logger::setLogFolder(dir.c_str());
        LNSetThrowAllErrorsGlobal(FALSE);
        createDb("Mail1!!mail.box");
        createDb("Mail1!!names.nsf");
        createDb("Mail1!!mail/jdoe.nsf");
    }

    void TearDown() override {
        LNSetThrowAllErrorsGlobal(FALSE);
        Lattice::Logger::close();
        Lattice::Logger::setLogFolder("");
        unsetenv("NOTES_DATA_DIR");
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    void createDb(const std::string& netPath) {
        ASSERT_EQ(NSFDbCreate(netPath.c_str(), DBCLASS_NOTEFILE, FALSE), NOERROR) << netPath;
    }

    std::string logText() const {
        std::ifstream in(dir + "/hxLog.log");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static int countOf(const std::string& text, const std::string& what) {
        int n = 0;
        for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + what.size()))
            ++n;
        return n;
    }

    std::string dir;
};
