// What every Qt Test program of the user interface shares: its suites run
// in one process over one temporary home folder, and application-modal
// alerts are answered from a timer, so that no test blocks on a dialog.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/toolkit/app_paths.h"
#include "ui/toolkit/defaults.h"

namespace tw_test {

// While it lives, answers every application-modal alert with the button
// titled `press` (the first one when empty), and records the last alert.
struct ModalAnswerer : QObject {
    QTimer timer;
    QString title, message, press;
    bool seen = false;
    explicit ModalAnswerer(QString button = {}) : press(std::move(button)) {
        connect(&timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            seen = true;
            title = box->windowTitle();
            message = box->informativeText();
            for (QAbstractButton* b : box->buttons())
                if (press.isEmpty() || b->text() == press) return b->click();
        });
        timer.start(20);
    }
};

// While it lives, answers every file panel: records the name it proposes,
// then chooses `path` in it (cancels it when `path` is empty, or when the
// panel is still up after the choice).
struct PanelAnswerer : QObject {
    QTimer timer;
    QString path, proposed;
    QPointer<QFileDialog> answered;
    explicit PanelAnswerer(QString chosen = {}) : path(std::move(chosen)) {
        connect(&timer, &QTimer::timeout, this, [this] {
            auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (panel == nullptr || !panel->isVisible()) return;
            if (panel == answered) return panel->reject();
            answered = panel;
            proposed = QFileInfo(panel->selectedFiles().value(0)).fileName();
            if (path.isEmpty()) return panel->reject();
            // The panel types the name only into a name field without the focus.
            if (QWidget* focus = panel->focusWidget()) focus->clearFocus();
            panel->selectFile(path);
            static_cast<QDialog*>(panel)->accept();  // as the panel's own button does
        });
        timer.start(20);
    }
};

// A file's bytes, "<missing>" when it cannot be read.
inline QByteArray file_bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes `content` to `name` under 20 new nested folders of 250 characters
// in `path`: a path no single call accepts. Returns the file's path, "" when
// it could not be written.
inline std::string make_deep_file(std::string path, const char* name, const std::string& content) {
    const std::string part(250, 'p');
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 20; ++i, path += '/' + part) {
        ::mkdirat(fd, part.c_str(), 0755);
        const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    const int file = ::openat(fd, name, O_WRONLY | O_CREAT | O_EXCL, 0644);
    const bool written = ::write(file, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ::close(file);
    ::close(fd);
    return written ? path + '/' + name : std::string();
}

// The program's home folder: XDG_CONFIG_HOME (the user defaults) and
// XDG_DATA_HOME (the resource folder, desktop entries) point into it, so that
// no test reads or changes the real user's settings.
inline QTemporaryDir& ui_home() {
    static QTemporaryDir home;
    return home;
}

// The test classes of the program, in the order of their sources.
using SuiteMaker = std::function<std::unique_ptr<QObject>()>;
inline std::vector<std::pair<QString, SuiteMaker>>& suites() {
    static std::vector<std::pair<QString, SuiteMaker>> all;
    return all;
}
struct SuiteRegistration {
    SuiteRegistration(const char* name, SuiteMaker make) { suites().emplace_back(name, std::move(make)); }
};

// Runs every suite, or those named among the arguments (`ViewerMenuTest`);
// the other arguments go to Qt Test. Returns the number of failures.
inline int run_suites(int argc, char** argv) {
    if (!ui_home().isValid()) qFatal("no temporary home folder");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(ui_home().filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(ui_home().filePath("data")));
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    tw::ui::init_resources();
    QStringList chosen;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        const bool names_suite = i > 0 && std::any_of(suites().begin(), suites().end(),
                                                      [&](const auto& s) { return s.first == argv[i]; });
        if (names_suite) chosen << argv[i];
        else args.push_back(argv[i]);
    }
    int failures = 0;
    for (const auto& [name, make] : suites()) {
        if (!chosen.isEmpty() && !chosen.contains(name)) continue;
        const std::unique_ptr<QObject> suite = make();
        failures += QTest::qExec(suite.get(), static_cast<int>(args.size()), args.data());
    }
    // Written now, while the folder exists, not at the program's exit,
    // which would make it again after its removal.
    tw::ui::user_defaults().sync();
    return std::min(failures, 127);
}

}  // namespace tw_test

// In place of QTEST_MAIN: the class is one suite of its program, whose main
// is suites_main.cpp.
#define TW_UI_SUITE(Class)                                              \
    static const tw_test::SuiteRegistration Class##_registration{#Class, \
                                                                 [] { return std::make_unique<Class>(); }};
