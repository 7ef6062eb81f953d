#include "install/install_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/atomic_file.h"
#include "test_support/sandbox.h"

namespace lumigal::install {
namespace {

using test::readFile;
using test::writeFile;

// Answers the file error box from a list of answers and keeps what it was shown.
class AnsweringObserver : public InstallObserver {
public:
    explicit AnsweringObserver(std::deque<FileErrorChoice> answers = {})
        : answers_(std::move(answers)) {}

    void showProgress(const std::string& from, const std::string& to) override {
        progress.emplace_back(from, to);
    }
    FileErrorChoice fileError(FileMessage message, const std::string& text) override {
        messages.push_back(message);
        texts.push_back(text);
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected box: " << text;
            return FileErrorChoice::Quit;
        }
        const FileErrorChoice answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    bool allAnswersUsed() const { return answers_.empty(); }

    std::vector<std::pair<std::string, std::string>> progress;
    std::vector<FileMessage> messages;
    std::vector<std::string> texts;

private:
    std::deque<FileErrorChoice> answers_;
};

constexpr FileEntry kProgram{"Lumigal._", "Lumigal", true};
constexpr FileEntry kReadMe{"whatsnewe.tx_", "whatsnewe.txt", false};

class InstallFileTest : public ::testing::Test {
protected:
    InstallFileTest() {
        test::makeFolders(setup);
        test::makeFolders(target);
    }
    // Every entry of the sandbox except the install folder.
    std::map<std::string, std::string> outside() const {
        auto entries = test::snapshot(sandbox.root());
        std::erase_if(entries, [&](const auto& entry) {
            return entry.first == target || entry.first.starts_with(target + "/");
        });
        return entries;
    }
    std::vector<std::string> leftoverTemporaryFiles() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(target)) {
            const std::string name = entry.path().filename().string();
            if (platform::isTemporaryName(name)) found.push_back(name);
        }
        return found;
    }

    test::Sandbox sandbox;
    const std::string setup = sandbox.path("setup") + "/";
    const std::string target = sandbox.path("home/.local/opt/Lumigal");
};

TEST_F(InstallFileTest, InstallsTheExpandedFileWithItsPermissions) {
    const std::string program = "#!/bin/sh\necho Lumigal\n" + test::randomBytes(5000, 1);
    test::writeSzdd(setup + "Lumigal._", program);
    test::writeSzdd(setup + "whatsnewe.tx_", "Lisez-moi : Lumigal 1.16\n");
    AnsweringObserver observer;
    std::string installed;

    EXPECT_TRUE(installFile(observer, setup, target, kProgram, &installed));
    EXPECT_EQ(installed, target + "/Lumigal");
    EXPECT_TRUE(readFile(target + "/Lumigal") == program);
    EXPECT_TRUE(test::isExecutable(target + "/Lumigal"));

    EXPECT_TRUE(installFile(observer, setup, target, kReadMe, &installed));
    EXPECT_EQ(readFile(target + "/whatsnewe.txt"), "Lisez-moi : Lumigal 1.16\n");
    EXPECT_FALSE(test::isExecutable(target + "/whatsnewe.txt"));
    EXPECT_TRUE(observer.messages.empty());
    EXPECT_TRUE(leftoverTemporaryFiles().empty());
}

TEST_F(InstallFileTest, ProgressLinesNormaliseOnlyTheDestination) {
    const std::string doubledSetup = sandbox.path("setup") + "//";
    test::writeSzdd(setup + "whatsnewe.tx_", "le texte du fichier lisez-moi");
    AnsweringObserver observer;
    ASSERT_TRUE(installFile(observer, doubledSetup, target + "//", kReadMe));
    ASSERT_EQ(observer.progress.size(), 1u);
    EXPECT_EQ(observer.progress[0].first, "Copy from: " + doubledSetup + "whatsnewe.tx_");
    EXPECT_EQ(observer.progress[0].second, "To: " + target + "/whatsnewe.txt");
}

TEST_F(InstallFileTest, ReplacesAnInstalledFileWithoutQuestion) {
    writeFile(target + "/whatsnewe.txt", "ancienne version du fichier");
    test::writeSzdd(setup + "whatsnewe.tx_", "nouvelle version du fichier");
    AnsweringObserver observer;
    EXPECT_TRUE(installFile(observer, setup, target, kReadMe));
    EXPECT_EQ(readFile(target + "/whatsnewe.txt"), "nouvelle version du fichier");
    EXPECT_TRUE(observer.messages.empty());
}

TEST_F(InstallFileTest, MessagesNameTheFileExactly) {
    EXPECT_EQ(fileMessageText(FileMessage::SourceNotFound, "", "/media/cd/", "Lumigal._"),
              "Install n'a pas pu copier /media/cd/Lumigal._...\n\nLe fichier n'a pas été trouvé.");
    EXPECT_EQ(fileMessageText(FileMessage::CannotCreate, "", "/opt/Lumigal/", "Lumigal"),
              "Le fichier /opt/Lumigal/Lumigal ne peut pas être créé.\nVérifiez qu'une version "
              "antérieure de Lumigal n'est pas en cours d'exécution et recommencez "
              "l'installation.");
    EXPECT_EQ(fileMessageText(FileMessage::CopyFailed, "c:", "\\cd\\", "a.ex_"),
              "Le fichier c:\\cd\\a.ex_ n'a pas pu être copié.");
    // A placeholder text in a name is not filled again.
    EXPECT_EQ(fileMessageText(FileMessage::CopyFailed, "", "/x/%s/", "%s"),
              "Le fichier /x/%s/%s n'a pas pu être copié.");
}

enum class Case { SourceMissing, SourceDamaged, FolderUnusable, DestinationIsFolder };

struct ErrorPath {
    const char* name;
    Case situation;
    std::deque<FileErrorChoice> answers;
    bool result;
    std::vector<FileMessage> messages;
    bool namesSource;  // the last message names the source (else the destination)
};

void PrintTo(const ErrorPath& path, std::ostream* out) { *out << path.name; }

class InstallFileErrorTest : public InstallFileTest,
                             public ::testing::WithParamInterface<ErrorPath> {};

TEST_P(InstallFileErrorTest, AsksAndNeverDamagesTheInstalledFile) {
    const ErrorPath& path = GetParam();
    std::string folder = target;
    const std::string installedBefore = "version installée, intacte";
    writeFile(target + "/whatsnewe.txt", installedBefore);
    switch (path.situation) {
        case Case::SourceMissing:
            break;
        case Case::SourceDamaged: {
            test::writeSzdd(setup + "whatsnewe.tx_", test::randomBytes(40000, 9));
            const std::string whole = readFile(setup + "whatsnewe.tx_");
            writeFile(setup + "whatsnewe.tx_", whole.substr(0, whole.size() / 2));
            break;
        }
        case Case::FolderUnusable:
            test::writeSzdd(setup + "whatsnewe.tx_", "le texte du fichier lisez-moi");
            writeFile(sandbox.path("a-file"), "");
            folder = sandbox.path("a-file/Lumigal");
            break;
        case Case::DestinationIsFolder:
            test::writeSzdd(setup + "whatsnewe.tx_", "le texte du fichier lisez-moi");
            std::filesystem::remove(target + "/whatsnewe.txt");
            test::makeFolders(target + "/whatsnewe.txt/inside");
            break;
    }
    const auto outsideBefore = outside();
    AnsweringObserver observer(path.answers);
    std::string installed;

    EXPECT_EQ(installFile(observer, setup, folder, kReadMe, &installed), path.result);
    EXPECT_EQ(observer.messages, path.messages);
    EXPECT_TRUE(observer.allAnswersUsed());
    EXPECT_TRUE(installed.empty());
    if (!observer.texts.empty()) {
        const std::string expected =
            path.namesSource ? setup + "whatsnewe.tx_" : folder + "/whatsnewe.txt";
        EXPECT_NE(observer.texts.back().find(expected), std::string::npos) << observer.texts.back();
    }
    if (path.situation == Case::DestinationIsFolder) {
        EXPECT_TRUE(test::exists(target + "/whatsnewe.txt/inside"));
    } else {
        EXPECT_EQ(readFile(target + "/whatsnewe.txt"), installedBefore);
    }
    EXPECT_TRUE(leftoverTemporaryFiles().empty());
    EXPECT_TRUE(test::differences(outsideBefore, outside()).empty());
}

using enum FileErrorChoice;
constexpr auto kNotFound = FileMessage::SourceNotFound;
constexpr auto kNotCreated = FileMessage::CannotCreate;
constexpr auto kNotCopied = FileMessage::CopyFailed;

INSTANTIATE_TEST_SUITE_P(
    Paths, InstallFileErrorTest,
    ::testing::Values(
        ErrorPath{"MissingIgnoredTwice",
                  Case::SourceMissing,
                  {Ignore, Ignore},
                  true,
                  {kNotFound, kNotCopied},
                  true},
        ErrorPath{"MissingQuit", Case::SourceMissing, {Quit}, false, {kNotFound}, true},
        ErrorPath{"MissingIgnoredThenQuit",
                  Case::SourceMissing,
                  {Ignore, Quit},
                  false,
                  {kNotFound, kNotCopied},
                  true},
        ErrorPath{"DamagedIgnored", Case::SourceDamaged, {Ignore}, true, {kNotCopied}, true},
        ErrorPath{"DamagedQuit", Case::SourceDamaged, {Quit}, false, {kNotCopied}, true},
        ErrorPath{"FolderIgnoredTwice",
                  Case::FolderUnusable,
                  {Ignore, Ignore},
                  true,
                  {kNotCreated, kNotCopied},
                  false},
        ErrorPath{"FolderQuit", Case::FolderUnusable, {Quit}, false, {kNotCreated}, false},
        ErrorPath{"DestinationFolderIgnored",
                  Case::DestinationIsFolder,
                  {Ignore},
                  true,
                  {kNotCopied},
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallFileTest, ReplacesALinkWithoutTouchingItsTarget) {
    const std::string elsewhere = sandbox.path("elsewhere.txt");
    writeFile(elsewhere, "fichier d'un autre programme");
    ASSERT_EQ(::symlink(elsewhere.c_str(), (target + "/whatsnewe.txt").c_str()), 0);
    test::writeSzdd(setup + "whatsnewe.tx_", "Lisez-moi, version 1.16");
    AnsweringObserver observer;
    EXPECT_TRUE(installFile(observer, setup, target, kReadMe));
    EXPECT_EQ(readFile(elsewhere), "fichier d'un autre programme");
    struct stat info {};
    ASSERT_EQ(::lstat((target + "/whatsnewe.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(readFile(target + "/whatsnewe.txt"), "Lisez-moi, version 1.16");
}

TEST_F(InstallFileTest, ASourceThatIsAFolderIsNotFound) {
    test::makeFolders(setup + "whatsnewe.tx_");
    AnsweringObserver observer({Quit});
    EXPECT_FALSE(installFile(observer, setup, target, kReadMe));
    EXPECT_EQ(observer.messages, std::vector<FileMessage>{kNotFound});
}

// Installer payloads from a damaged or foreign setup folder: every source
// either installs exactly (an SZDD file expanded, any other file copied) or
// is reported, with the installed file left as it was and nothing written
// outside the install folder. The figures are printed, one line each.
TEST_F(InstallFileTest, PayloadsInstallExactlyOrAreReported) {
    const std::string original = test::randomBytes(30000, 21) + std::string(9000, 'z');
    test::writeSzdd(setup + "model._", original);
    const std::string good = readFile(setup + "model._");
    std::filesystem::remove(setup + "model._");
    ASSERT_GT(good.size(), 100u);
    const auto declaring = [&](std::uint32_t size) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i) bytes[10 + i] = static_cast<char>(size >> (8 * i) & 0xFF);
        return bytes;
    };
    struct Payload {
        const char* name;
        std::string bytes;
        std::optional<std::string> installs;  // what must be installed, when it must
    };
    const std::vector<Payload> payloads = {
        {"SZDD", good, original},
        {"SZDD truncated in its header", good.substr(0, 12), std::nullopt},
        {"SZDD header only", good.substr(0, 14), std::nullopt},
        {"SZDD truncated in the middle", good.substr(0, good.size() / 2), std::nullopt},
        {"SZDD without its last byte", good.substr(0, good.size() - 1), std::nullopt},
        {"SZDD garbage body", good.substr(0, 14) + test::randomBytes(5000, 22), std::nullopt},
        {"SZDD declared length 0", declaring(0), std::nullopt},
        {"SZDD declared length 0xFFFFFFFF", declaring(0xFFFFFFFFu), std::nullopt},
        {"SZDD declared one byte more", declaring(static_cast<std::uint32_t>(original.size() + 1)),
         std::nullopt},
        {"not SZDD: text", "Lisez-moi\n", std::string("Lisez-moi\n")},
        {"not SZDD: binary", test::randomBytes(7000, 23), test::randomBytes(7000, 23)},
        {"not SZDD: empty", "", std::string()},
        {"not SZDD: near signature", "SZDD\x88\xF0\x27", std::string("SZDD\x88\xF0\x27")},
    };
    int exact = 0, reported = 0, damaged = 0, outsideWrites = 0, wrong = 0;
    const std::string installedBefore = "version installée, intacte";
    for (const Payload& payload : payloads) {
        SCOPED_TRACE(payload.name);
        writeFile(target + "/whatsnewe.txt", installedBefore);
        writeFile(setup + "whatsnewe.tx_", payload.bytes);
        const auto outsideBefore = outside();
        AnsweringObserver observer({FileErrorChoice::Ignore, FileErrorChoice::Ignore});
        const bool done = installFile(observer, setup, target, kReadMe);
        const std::string now = readFile(target + "/whatsnewe.txt");
        if (payload.installs && observer.messages.empty() && done && now == *payload.installs) {
            ++exact;
        } else if (!payload.installs && !observer.messages.empty() && now == installedBefore) {
            ++reported;
        } else {
            ++wrong;
            ADD_FAILURE() << "neither installed exactly nor reported: " << observer.messages.size()
                          << " messages, " << now.size() << " bytes installed";
        }
        if (now != installedBefore && !(payload.installs && now == *payload.installs)) ++damaged;
        outsideWrites += static_cast<int>(test::differences(outsideBefore, outside()).size());
        EXPECT_TRUE(leftoverTemporaryFiles().empty());
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(damaged, 0);
    EXPECT_EQ(outsideWrites, 0);
    std::printf("installer payloads: %zu sources, %d installed exactly, %d reported\n",
                payloads.size(), exact, reported);
    std::printf("installer payloads: neither installed exactly nor reported: %d\n", wrong);
    std::printf("installer payloads: installed files damaged: %d\n", damaged);
    std::printf("installer payloads: entries written outside the install folder: %d\n",
                outsideWrites);
}

}  // namespace
}  // namespace lumigal::install
