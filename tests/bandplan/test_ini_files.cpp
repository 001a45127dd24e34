#include "TestFiles.h"
#include "bandplan/modIniFiles.h"
#include "core/MessageSink.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace orvex;
using orvex::test::TempDir;

namespace {

const char* const kHandEdited = "; my receiver's bands\n"
                                "[MainBand]\n"
                                "  Caption = HF bands  \n"
                                "Extra=kept\n"
                                "\n"
                                "; the 160 m band\n"
                                "[SubBand.0]\n"
                                "FreqMin=1800000\n"
                                "\n"
                                "[Notes]\n"
                                "text=anything\n";

} // namespace

TEST(IniDocument, LookupRules) {
    const auto doc = IniDocument::Parse(kHandEdited);
    EXPECT_EQ(doc.get("MAINBAND", "caption", "-"), "HF bands"); // letter case, trimming
    EXPECT_EQ(doc.get("mainband", "Missing", "default"), "default");
    EXPECT_EQ(doc.get("NoSection", "Caption", "d"), "d");
    EXPECT_EQ(doc.find("SubBand.0", "FreqMin")->line, 8);
    EXPECT_TRUE(doc.problems().empty());
    EXPECT_EQ(doc.text(), kHandEdited); // nothing changed: byte for byte
}

TEST(IniDocument, BadLinesAreKeptNeverReadAndReported) {
    const std::string text = "Orphan=1\n"     // 1: before any section
                             "[A]\n"          // 2
                             "Key=first\n"    // 3
                             "garbage line\n" // 4
                             "key=second\n"   // 5: duplicate key
                             "=novalue\n"     // 6
                             "[Broken\n"      // 7: no ']'
                             "Hidden=1\n"     // 8
                             "[a]\n"          // 9: duplicate section
                             "Key=third\n"    // 10
                             "Other=x\n";
    const auto doc = IniDocument::Parse(text);
    EXPECT_EQ(doc.get("A", "Key", ""), "first");
    EXPECT_EQ(doc.get("A", "Other", "none"), "none"); // in the duplicate section
    EXPECT_EQ(doc.get("Broken", "Hidden", "none"), "none");
    std::vector<int> lines;
    for (const auto& p : doc.problems())
        lines.push_back(p.line);
    EXPECT_EQ(lines, (std::vector<int>{1, 4, 5, 6, 7, 9}));
    EXPECT_EQ(doc.text(), text);
}

TEST(IniDocument, SetKeepsEveryOtherLineAndTheOrder) {
    auto doc = IniDocument::Parse(kHandEdited);
    EXPECT_TRUE(doc.set("mainband", "CAPTION", "Top band")); // in place, key spelling kept
    EXPECT_TRUE(doc.set("SubBand.0", "FreqMax", "2000000")); // after the section's last key
    EXPECT_TRUE(doc.set("SubBand.1", "Caption", "80m\nx"));  // new section; one line
    EXPECT_FALSE(doc.set("SubBand.1", "Bad=Key", "v"));
    EXPECT_FALSE(doc.set("Bad]Section", "Key", "v"));
    EXPECT_EQ(doc.text(), "; my receiver's bands\n"
                          "[MainBand]\n"
                          "Caption=Top band\n"
                          "Extra=kept\n"
                          "\n"
                          "; the 160 m band\n"
                          "[SubBand.0]\n"
                          "FreqMin=1800000\n"
                          "FreqMax=2000000\n"
                          "\n"
                          "[Notes]\n"
                          "text=anything\n"
                          "[SubBand.1]\n"
                          "Caption=80m x\n");
    EXPECT_TRUE(doc.remove("SUBBAND.1", "caption"));
    EXPECT_TRUE(doc.removeSectionIfEmpty("SubBand.1"));
    EXPECT_FALSE(doc.removeSectionIfEmpty("Notes"));
}

TEST(IniDocument, KeepsLineEndsOfEverySystemAndByteOrderMark) {
    const std::string text = "\xEF\xBB\xBF[MainBand]\r\nCaption=HF\r\n";
    auto doc = IniDocument::Parse(text);
    EXPECT_EQ(doc.get("MainBand", "Caption", ""), "HF");
    doc.set("MainBand", "Active", "True");
    EXPECT_EQ(doc.text(), "\xEF\xBB\xBF[MainBand]\r\nCaption=HF\r\nActive=True\r\n");
    // CR alone (old Macintosh editors): every line is read, and written back with CR.
    auto cr = IniDocument::Parse("; plan\r[MainBand]\rCaption=HF\r\r[SubBand.0]\rFreqMin=7\r");
    EXPECT_EQ(cr.get("SubBand.0", "FreqMin", ""), "7");
    EXPECT_EQ(cr.find("SubBand.0", "FreqMin")->line, 6);
    cr.set("MainBand", "Active", "True");
    EXPECT_EQ(cr.text(), "; plan\r[MainBand]\rCaption=HF\rActive=True\r\r[SubBand.0]\rFreqMin=7\r");
}

TEST(ProfileItems, FieldRuleBufferAndFiles) {
    EXPECT_EQ(ProfileField("a,b,,d", 0), "a,b,,d");
    EXPECT_EQ(ProfileField("a,b,,d", 1), "a");
    EXPECT_EQ(ProfileField("a,b,,d", 2), "b");
    EXPECT_EQ(ProfileField("a,b,,d", 3), "");
    EXPECT_EQ(ProfileField("a,b,,d", 4), "d");
    EXPECT_EQ(ProfileField("a,b,,d", 5), "");

    TempDir dir;
    const std::string file = dir.file("test.ini");
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    EXPECT_EQ(ProfileGetItem("S", "K", "dflt", file), "dflt"); // no file: reads as empty
    ASSERT_TRUE(ProfileSaveItem("S", "K", "1,2,3", file));
    ASSERT_TRUE(ProfileSaveItem("S", "Long", std::string(5000, 'x'), file));
    EXPECT_EQ(ProfileGetItem("s", "k", "", file, 2), "2");
    EXPECT_EQ(ProfileGetItem("S", "Long", "", file).size(), kProfileBufferSize - 1);
    EXPECT_TRUE(sink.messages().empty());

    // A folder where the file should be: a read error, told once, read as empty.
    EXPECT_EQ(ProfileGetItem("S", "K", "dflt", dir.path()), "");
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_EQ(sink.messages()[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(sink.contains("ProfileGetItemError: 21 Is a directory"));
}

TEST(ReadIniFile, RefusesWhatIsNotAPlainFileOfSaneSize) {
    TempDir dir;
    IniDocument doc;
    IniFileError error;
    bool missing = false;
    EXPECT_TRUE(ReadIniFile(dir.file("none.ini"), doc, &error, &missing));
    EXPECT_TRUE(missing);

    const std::string fifo = dir.file("fifo.ini"); // must not block
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_FALSE(ReadIniFile(fifo, doc, &error));

    const std::string huge = dir.file("huge.ini"); // sparse: takes no disk space
    const int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxIniFileSize + 1)), 0);
    ::close(fd);
    EXPECT_FALSE(ReadIniFile(huge, doc, &error));
    EXPECT_EQ(error.number, EFBIG);
    // ...and it is never overwritten, so nothing in it is lost.
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    EXPECT_FALSE(ProfileSaveItem("S", "K", "v", huge));
    struct stat st {};
    ASSERT_EQ(::stat(huge.c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::uint64_t>(st.st_size), kMaxIniFileSize + 1);
}

TEST(AtomicSave, ReplacesWholeKeepsModeAndFollowsLinks) {
    TempDir dir;
    const std::string target = dir.file("real.bpl");
    orvex::test::WriteText(target, "[A]\nK=old\n");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const std::string link = dir.file("link.bpl");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ASSERT_TRUE(ProfileSaveItem("A", "K", "new", link));
    EXPECT_EQ(orvex::test::ReadText(target), "[A]\nK=new\n");
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(orvex::test::CountEntries(dir.path()), 2u); // no temporary file left
}

// A save that cannot complete leaves the previous file as it was and says why. These run in a
// child process: one drops root (for which a read-only folder is no obstacle), one limits the
// file size the way a full disk stops a write half-way.
TEST(AtomicSave, FailedSaveLeavesThePreviousFileIntact) {
    TempDir dir;
    const std::string file = dir.file("HF.bpl");
    const std::string before = "; hand-written\n[MainBand]\nCaption=HF\n";
    orvex::test::WriteText(file, before);
    auto attempt = [&](const char* expected) {
        RecordingMessageSink sink;
        ScopedMessageSink scope(sink);
        const bool saved = ProfileSaveItem("MainBand", "Caption", std::string(4000, 'x'), file);
        return !saved && sink.messages().size() == 1 && sink.contains(expected) ? 0 : 1;
    };

    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    if (::geteuid() == 0) {
        EXPECT_EQ(orvex::test::InChild([&] {
                      if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 2;
                      return attempt("ProfileSaveItem: 13 Permission denied");
                  }),
                  0);
    } else {
        EXPECT_EQ(attempt("ProfileSaveItem: 13 Permission denied"), 0);
    }
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);

    EXPECT_EQ(orvex::test::InChild([&] {
                  std::signal(SIGXFSZ, SIG_IGN);
                  const rlimit limit{1024, 1024};
                  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
                  return attempt("ProfileSaveItem: 27 File too large");
              }),
              0);

    EXPECT_EQ(orvex::test::ReadText(file), before);
    EXPECT_EQ(orvex::test::CountEntries(dir.path()), 1u);

    // A folder that cannot hold files at all, even for root.
    RecordingMessageSink sink;
    ScopedMessageSink scope(sink);
    EXPECT_FALSE(ProfileSaveItem("S", "K", "v", "/proc/self/orvex-test.bpl"));
    EXPECT_TRUE(sink.contains("ProfileSaveItem: "));
}
