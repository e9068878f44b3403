// Utilities: settings, the log, GUIDs, Base64 blocks, MIME types by name and free/busy merging.
#include "Lattice/DateTimeUtil.h"
#include "Lattice/Logger.h"
#include "Lattice/Settings.h"
#include "Lattice/Util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace Lattice;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "lattice-util-XXXXXX").string();
        path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

_DateTimeData at(int y, int mo, int d, int h, int mi = 0, long zone = 0) {
    _DateTimeData v;
    v.setFullYear(y);
    v.month = static_cast<short>(mo);
    v.day = static_cast<short>(d);
    v.hour = static_cast<short>(h);
    v.minute = static_cast<short>(mi);
    v.zoneOffset = zone;
    return v;
}

_DateData day(int y, int mo, int d) {
    return at(y, mo, d, 0).date();
}

String text(const FreeBusyCoalescer& c) {
    String out;
    c.addToString(out);
    return out;
}

} // namespace

// ---- Settings ----

TEST(Settings, SetGetRemoveAndRuntimePath) {
    EXPECT_FALSE(Settings::has("test.key"));
    EXPECT_EQ(Settings::get("test.key", "fallback"), "fallback");
    Settings::set("test.key", "one");
    Settings::set("test.key", "two");
    EXPECT_TRUE(Settings::has("test.key"));
    EXPECT_EQ(Settings::get("test.key"), "two");
    Settings::remove("test.key");
    Settings::remove("test.key");
    EXPECT_FALSE(Settings::has("test.key"));

    EXPECT_EQ(getRuntimePath(), "/hx/");
    Settings::set("runtimePath", "/webmail/");
    EXPECT_EQ(getRuntimePath(), "/webmail/");
    Settings::remove("runtimePath");
    EXPECT_EQ(getRuntimePath(), "/hx/");
}

TEST(Settings, ConcurrentWritersAndReaders) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 500; ++i) {
                String key = String::format("conc.%d.%d", t, i % 10);
                Settings::set(key, String::fromLong(i));
                EXPECT_TRUE(Settings::has(key));
                Settings::get("conc.0.0");
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(Settings::get("conc.3.9"), "499");
}

// ---- Logger ----

TEST(Logger, LinesFromManyThreadsStayWhole) {
    TempDir dir;
    Logger::setLogFolder(dir.path().c_str());
    Logger::init(2, "hxLog.log");
    EXPECT_EQ(Logger::serverType(), 2);
    EXPECT_EQ(Logger::logFilePath(), (dir.path() + "/hxLog.log").c_str());

    constexpr int kThreads = 6;
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                Logger::print("thread %d line %d %s\n", t, i, i % 2 ? "odd" : "even");
        });
    }
    for (auto& th : threads)
        th.join();
    Logger::close();

    auto lines = readLines(dir.path() + "/hxLog.log");
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
    const std::regex layout(
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] thread (\d+) line (\d+) (odd|even))");
    std::set<std::pair<int, int>> seen;
    for (const auto& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, layout)) << line;
        seen.insert({std::stoi(m[1]), std::stoi(m[2])});
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kLines));
    Logger::setLogFolder("");
}

TEST(Logger, LineEndsFolderChoiceReopeningAndAnUnwritableFolder) {
    TempDir dir;
    Settings::set("log.folder", dir.path().c_str());
    Logger::init(2, "hxLog.log");
    EXPECT_EQ(Logger::logFilePath(), (dir.path() + "/hxLog.log").c_str());
    Logger::print("Notes Session Opened!\n");
    Logger::print("Sort Column Name=%s", "Date");
    Logger::print("%s", "");
    const char* runtimeFormat = "value=%d%%";
    Logger::print(runtimeFormat, 5);
    Logger::print(nullptr);
    Logger::print("%s", std::string(100000, 'x').c_str());
    // The same file again keeps it; another one switches.
    Logger::init(2, "hxLog.log");
    Logger::print("still here");
    Logger::init(3, "other.log");
    Logger::print("elsewhere");
    Logger::close();
    Logger::print("after close");
    Settings::remove("log.folder");

    auto lines = readLines(dir.path() + "/hxLog.log");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_TRUE(lines[0].ends_with("] Notes Session Opened!"));
    EXPECT_TRUE(lines[1].ends_with("] Sort Column Name=Date"));
    EXPECT_TRUE(lines[2].ends_with("] "));
    EXPECT_TRUE(lines[3].ends_with("] value=5%"));
    EXPECT_TRUE(lines[4].ends_with(std::string(100000, 'x')));
    EXPECT_TRUE(lines[5].ends_with("] still here"));
    auto other = readLines(dir.path() + "/other.log");
    ASSERT_EQ(other.size(), 1u);
    EXPECT_TRUE(other[0].ends_with("] elsewhere"));
    EXPECT_EQ(Logger::serverType(), 3);

    // An absolute name ignores the folder.
    Logger::setLogFolder("/nonexistent-folder");
    Logger::init(2, (dir.path() + "/abs.log").c_str());
    Logger::print("absolute");
    Logger::close();
    Logger::setLogFolder("");
    EXPECT_EQ(readLines(dir.path() + "/abs.log").size(), 1u);

    // A folder that cannot be written drops the lines quietly.
    Logger::setLogFolder("/nonexistent-folder/deeper");
    EXPECT_NO_THROW(Logger::init(2, "hxLog.log"));
    EXPECT_EQ(Logger::logFilePath(), "/nonexistent-folder/deeper/hxLog.log");
    EXPECT_NO_THROW(Logger::print("Notes Session Failed to Open!\n"));
    EXPECT_FALSE(fs::exists("/nonexistent-folder"));
    Logger::close();
    Logger::setLogFolder("");
}

// ---- Guid ----

TEST(Guid, FormatVersionAndUniquenessAcrossThreads) {
    const std::regex layout("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::vector<std::vector<std::string>> made(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&made, t] {
            for (int i = 0; i < 1000; ++i)
                made[t].push_back(Guid::create().toString().str());
        });
    }
    for (auto& th : threads)
        th.join();
    std::set<std::string> all;
    for (const auto& list : made)
        for (const std::string& s : list) {
            ASSERT_TRUE(std::regex_match(s, layout)) << s;
            all.insert(s);
        }
    EXPECT_EQ(all.size(), 4000u);
    Guid a = Guid::create();
    Guid b = a;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == Guid::create());
}

// ---- Base64 ----

TEST(Base64, RFC4648VectorsAndBasicCredentials) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, coded] : vectors) {
        EXPECT_EQ(BaseObject64::encode(plain), coded);
        std::vector<char> back;
        ASSERT_TRUE(BaseObject64::decode(coded, back)) << coded;
        EXPECT_EQ(std::string(back.begin(), back.end()), plain);
    }
    EXPECT_EQ(BaseObject64::encode("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    // An empty password still carries the user name and the colon.
    EXPECT_EQ(BaseObject64::encode("user:"), "dXNlcjo=");
}

TEST(Base64, AllByteValuesRoundTripAndLineBreaksAreSkipped) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    for (std::size_t n = 0; n <= all.size(); n += 37) {
        String coded = BaseObject64::encode(all.data(), static_cast<long>(n));
        std::vector<char> back;
        ASSERT_TRUE(BaseObject64::decode(coded, back));
        EXPECT_EQ(std::string(back.begin(), back.end()), all.substr(0, n));
    }
    std::vector<char> back;
    ASSERT_TRUE(BaseObject64::decode("Zm9v\r\nYmFy\r\n", back));
    EXPECT_EQ(std::string(back.begin(), back.end()), "foobar");
    ASSERT_TRUE(BaseObject64::decode("Zm\n9v", back));
    EXPECT_EQ(std::string(back.begin(), back.end()), "foo");
}

TEST(Base64, RejectsBadCharactersAndPadding) {
    const char* bad[] = {"Zm9",        "Zm9v=", "Z===", "====", "Zg=",  "Zg==Zg==", "Zm9v YmFy",       "Zm-v",
                         "Zm9v\tYmFy", "Zh==",  "Zm9=", "Zg=a", "Z=g=", "Zm9vY",    "\xff\xfe\xfd\xfc"};
    for (const char* text : bad) {
        std::vector<char> out{'k', 'e', 'p', 't'};
        EXPECT_FALSE(BaseObject64::decode(text, out)) << text;
        EXPECT_EQ(std::string(out.begin(), out.end()), "kept") << text;
    }
    BaseObject64 block;
    ASSERT_TRUE(block.setBinaryData("abc", 3, true));
    EXPECT_FALSE(block.fromBase64("not base64!"));
    EXPECT_EQ(std::string(block.binaryData(), 3), "abc");
    ASSERT_TRUE(block.fromBase64("Zm9vYmFy"));
    EXPECT_EQ(std::string(block.binaryData(), static_cast<std::size_t>(block.length())), "foobar");
    EXPECT_EQ(block.toBase64(), "Zm9vYmFy");
}

TEST(BaseObject64, CopyTakeOwnershipAndRefusals) {
    BaseObject64 block;
    EXPECT_EQ(block.length(), 0);
    EXPECT_EQ(block.toBase64(), "");

    char local[] = {'a', 'b', '\0', 'c'};
    ASSERT_TRUE(block.setBinaryData(local, 4, true));
    local[0] = 'z'; // the block keeps its own copy
    EXPECT_EQ(std::string(block.binaryData(), 4), std::string("ab\0c", 4));

    char* owned = new char[3]{'x', 'y', 'z'};
    ASSERT_TRUE(block.setBinaryData(owned, 3, false));
    EXPECT_EQ(block.binaryData(), owned);

    // Refused calls leave the block as it was; an owned buffer is still freed (ASan checks).
    EXPECT_FALSE(block.setBinaryData(new char[2], -1, false));
    EXPECT_FALSE(block.setBinaryData(nullptr, 10, true));
    EXPECT_FALSE(block.setBinaryData(local, -5, true));
    EXPECT_EQ(std::string(block.binaryData(), 3), "xyz");

    Ptr<BaseObject64> copy(static_cast<BaseObject64*>(block.copy(false)));
    EXPECT_EQ(std::string(copy->binaryData(), 3), "xyz");
    EXPECT_NE(copy->binaryData(), block.binaryData());
    EXPECT_TRUE(copy->inheritsFrom(BaseObject64::classAtom()));

    ASSERT_TRUE(block.setBinaryData(nullptr, 0, true));
    EXPECT_EQ(block.length(), 0);
    EXPECT_EQ(copy->length(), 3);
}

// ---- MIME types ----

TEST(MimeType, ByExtensionIgnoringCaseAndNothingForUnknownOrMissingOnes) {
    const std::pair<String, const char*> cases[] = {
        {"report.pdf", "application/pdf"},
        {"REPORT.PDF", "application/pdf"},
        {"photo.JpEg", "image/jpeg"},
        {"archive.tar.gz", "application/gzip"},
        {"page.htm", "text/html"},
        {"mail.eml", "message/rfc822"},
        {"invite.ics", "text/calendar"},
        {"card.VCF", "text/x-vcard"},
        {"mail.nsf", "application/vnd.lotus-notes"},
        {"setup.exe", "application/octet-stream"},
        {"C:\\dir.old\\sheet.xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
        {"png", "image/png"}, // a bare extension, as attachment code passes it
        {".txt", "text/plain"},
        {"", ""},
        {"name.", ""},
        {"README", ""},
        {"file.unknownext", ""},
        {"dir.v2/file", ""},
        {"file.pdf.bak", ""},
        {String("a.p\0df", 6), ""},
    };
    for (const auto& [name, type] : cases)
        EXPECT_EQ(StringUtil::computeMimeType(name).str(), type) << name.c_str();
}

// ---- Free/busy ----

TEST(FreeBusy, MergesOverlappingTouchingAndNestedSpans) {
    FreeBusyCoalescer c(day(2024, 3, 2), day(2024, 3, 6), -1440, nullptr);
    EXPECT_EQ(text(c), "");

    ASSERT_TRUE(c.add(at(2024, 3, 3, 10), at(2024, 3, 3, 11), 2));
    EXPECT_EQ(text(c), "2024-03-03T10:00:00Z/2024-03-03T11:00:00Z/2");

    ASSERT_TRUE(c.add(at(2024, 3, 3, 10, 30), at(2024, 3, 3, 12), 2));     // overlap
    ASSERT_TRUE(c.add(at(2024, 3, 3, 12), at(2024, 3, 3, 13), 2));         // touching
    ASSERT_TRUE(c.add(at(2024, 3, 3, 10, 15), at(2024, 3, 3, 10, 45), 2)); // nested
    ASSERT_TRUE(c.add(at(2024, 3, 4, 9), at(2024, 3, 4, 9, 30), 2));       // apart
    EXPECT_EQ(text(c),
              "2024-03-03T10:00:00Z/2024-03-03T13:00:00Z/2;2024-03-04T09:00:00Z/2024-03-04T09:30:00Z/2");
    EXPECT_EQ(c.spanCount(), 5);

    // Order of adding does not matter.
    FreeBusyCoalescer reversed(day(2024, 3, 2), day(2024, 3, 6), -1440, nullptr);
    reversed.add(at(2024, 3, 4, 9), at(2024, 3, 4, 9, 30), 2);
    reversed.add(at(2024, 3, 3, 12), at(2024, 3, 3, 13), 2);
    reversed.add(at(2024, 3, 3, 10, 15), at(2024, 3, 3, 10, 45), 2);
    reversed.add(at(2024, 3, 3, 10, 30), at(2024, 3, 3, 12), 2);
    reversed.add(at(2024, 3, 3, 10), at(2024, 3, 3, 11), 2);
    EXPECT_EQ(reversed.merged(), c.merged());

    String out("prefix:");
    c.addToString(out);
    EXPECT_TRUE(out.startsWith("prefix:2024-03-03T10:00:00Z/"));

    c.clear();
    EXPECT_EQ(c.spanCount(), 0);
    EXPECT_EQ(text(c), "");
}

TEST(FreeBusy, HigherStatusWinsWhereSpansOverlap) {
    FreeBusyCoalescer c(day(2024, 3, 2), day(2024, 3, 6), -1440, nullptr);
    c.add(at(2024, 3, 3, 9), at(2024, 3, 3, 17), 1);
    c.add(at(2024, 3, 3, 12), at(2024, 3, 3, 13), 3);
    c.add(at(2024, 3, 3, 16), at(2024, 3, 3, 18), 2);
    c.add(at(2024, 3, 3, 18), at(2024, 3, 3, 19), 1); // touches, but another status
    EXPECT_EQ(text(c), "2024-03-03T09:00:00Z/2024-03-03T12:00:00Z/1;"
                       "2024-03-03T12:00:00Z/2024-03-03T13:00:00Z/3;"
                       "2024-03-03T13:00:00Z/2024-03-03T16:00:00Z/1;"
                       "2024-03-03T16:00:00Z/2024-03-03T18:00:00Z/2;"
                       "2024-03-03T18:00:00Z/2024-03-03T19:00:00Z/1");
}

TEST(FreeBusy, WindowClippingZonesAndRefusals) {
    FreeBusyCoalescer c(day(2024, 3, 2), day(2024, 3, 6), -1440, nullptr);
    EXPECT_FALSE(c.add(at(2024, 3, 1, 10), at(2024, 3, 1, 11), 2)); // before the window
    EXPECT_FALSE(c.add(at(2024, 3, 7, 0), at(2024, 3, 7, 1), 2));   // the window ends at 7 March 00:00
    EXPECT_FALSE(c.add(at(2024, 3, 3, 11), at(2024, 3, 3, 10), 2)); // reversed
    EXPECT_FALSE(c.add(at(2024, 3, 3, 11), at(2024, 3, 3, 11), 2)); // empty
    EXPECT_FALSE(c.add(at(2024, 3, 3, 10), at(2024, 3, 3, 11), 0)); // free
    EXPECT_FALSE(c.add(_DateTimeData(), at(2024, 3, 3, 11), 2));    // no date
    EXPECT_FALSE(c.add(at(2024, 3, 3, 10, 0, 99999), at(2024, 3, 3, 11), 2)); // absurd zone
    EXPECT_EQ(c.spanCount(), 0);

    ASSERT_TRUE(c.add(at(2024, 3, 1, 22), at(2024, 3, 2, 1), 2));
    ASSERT_TRUE(c.add(at(2024, 3, 6, 23), at(2024, 3, 7, 2), 2));
    // 05:00 in New York is 10:00 GMT; minute 90 carries into the hour.
    ASSERT_TRUE(c.add(at(2024, 3, 4, 5, 0, 300), at(2024, 3, 4, 5, 90, 300), 2));
    EXPECT_EQ(text(c), "2024-03-02T00:00:00Z/2024-03-02T01:00:00Z/2;"
                       "2024-03-04T10:00:00Z/2024-03-04T11:30:00Z/2;"
                       "2024-03-06T23:00:00Z/2024-03-07T00:00:00Z/2");

    // A window of local days: Berlin midnight is 23:00 GMT the evening before.
    _TimeZoneData berlin;
    berlin.bias = -60;
    FreeBusyCoalescer local(day(2024, 3, 2), day(2024, 3, 2), -1440, &berlin);
    EXPECT_TRUE(local.add(at(2024, 3, 1, 23, 30), at(2024, 3, 2, 0, 30), 2));
    EXPECT_FALSE(local.add(at(2024, 3, 2, 23), at(2024, 3, 2, 23, 30), 2));
    EXPECT_EQ(text(local), "2024-03-01T23:30:00Z/2024-03-02T00:30:00Z/2");

    // A window that ends before it starts takes nothing.
    FreeBusyCoalescer backwards(day(2024, 3, 6), day(2024, 3, 2), -1440, nullptr);
    EXPECT_FALSE(backwards.add(at(2024, 3, 3, 10), at(2024, 3, 3, 11), 2));
    FreeBusyCoalescer unset(_DateData(), day(2024, 3, 2), -1440, nullptr);
    EXPECT_FALSE(unset.add(at(2024, 3, 1, 10), at(2024, 3, 1, 11), 2));
    EXPECT_EQ(text(unset), "");
}

TEST(FreeBusy, PositiveGranularitySnapsOutwardToBlocks) {
    FreeBusyCoalescer c(day(2024, 3, 2), day(2024, 3, 3), 30, nullptr);
    ASSERT_TRUE(c.add(at(2024, 3, 2, 10, 10), at(2024, 3, 2, 10, 20), 2));
    ASSERT_TRUE(c.add(at(2024, 3, 2, 10, 31), at(2024, 3, 2, 11, 0), 2));
    ASSERT_TRUE(c.add(at(2024, 3, 3, 23, 50), at(2024, 3, 4, 0, 10), 1));
    EXPECT_EQ(text(c),
              "2024-03-02T10:00:00Z/2024-03-02T11:00:00Z/2;2024-03-03T23:30:00Z/2024-03-04T00:00:00Z/1");
}
