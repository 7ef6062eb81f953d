#include "install/install_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "sandbox.h"

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
            if (name.find(".install-") != std::string::npos) found.push_back(name);
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

}  // namespace
}  // namespace lumigal::install
