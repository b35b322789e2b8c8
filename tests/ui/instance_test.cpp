// The real program: started with files, a second launch forwarding its files
// to the running instance, and the settings saved when it is told to end.
// In-process: the single-instance server taking paths from a client.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "ui/shell/single_instance.h"

using namespace tw::ui;

class InstanceTest : public QObject {
    Q_OBJECT

private slots:
    void server_takes_paths_from_a_client() {
        QTemporaryDir dir;
        const QString name = dir.filePath("test.socket");
        SingleInstance server(name);
        QVERIFY(server.listen());
        QSignalSpy spy(&server, &SingleInstance::paths_received);
        bool forwarded = false;
        // The client blocks until the server answers, so it runs on its own
        // thread while this one runs the server's events.
        std::thread client([&] {
            SingleInstance other(name);
            forwarded = other.forward_to_running_instance({"/x/one", "relative"});
        });
        QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, 10000);
        client.join();
        QVERIFY(forwarded);
        const QStringList paths = spy.first().first().toStringList();
        QCOMPARE(paths, (QStringList{"/x/one", QDir::current().absoluteFilePath("relative")}));
    }

    void nobody_listening_is_reported() {
        QTemporaryDir dir;
        SingleInstance client(dir.filePath("none.socket"));
        QVERIFY(!client.forward_to_running_instance({"/x"}, 500));
    }

    void a_stale_socket_is_replaced() {
        QTemporaryDir dir;
        const QString name = dir.filePath("stale.socket");
        QFile stale(name);  // a leftover file where the socket goes
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        SingleInstance server(name);
        QVERIFY(server.listen());
    }

    void program_gathers_forwards_and_saves_at_signal() {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString runtime = home.filePath("run");
        QVERIFY(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LANGUAGE", "en_US");
        env.insert("LC_ALL", "C.UTF-8");
        env.remove("DBUS_SESSION_BUS_ADDRESS");

        QProcess first;
        first.setProcessEnvironment(env);
        first.setWorkingDirectory(home.path());
        first.start(TRAWLEX_BINARY, {"a.txt", home.filePath("folder")});
        QVERIFY(first.waitForStarted());

        // The instance is up when its server answers.
        SingleInstance probe(QDir(runtime).filePath("trawlex.socket"));
        bool up = false;
        for (int i = 0; i < 200 && !up; ++i) {
            std::thread t([&] { up = probe.forward_to_running_instance({}, 500); });
            t.join();
            if (!up) QTest::qWait(100);
            QVERIFY2(first.state() == QProcess::Running, first.readAllStandardError().constData());
        }
        QVERIFY(up);

        const QString resources = home.filePath("data/Trawlex");
        QVERIFY(QFileInfo(resources + "/TW_target").isDir());
        QVERIFY(QFileInfo(resources + "/TW_found").isDir());
        QVERIFY(QFileInfo::exists(resources + "/doc/english_doc.pdf"));

        // The files given at launch arrive as one batch.
        QString log;
        const QString launch_batch =
            QString("2 item(s) handed over: %1, %2").arg(home.filePath("a.txt"), home.filePath("folder"));
        for (int i = 0; i < 100 && !log.contains(launch_batch); ++i) {
            first.waitForReadyRead(100);
            log += QString::fromUtf8(first.readAllStandardError());
        }

        // A second launch hands its files over and ends at once.
        QProcess second;
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(home.path());
        second.start(TRAWLEX_BINARY, {"b.bin", "/abs/c"});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        const QString forwarded_batch =
            QString("2 item(s) handed over: %1, /abs/c").arg(home.filePath("b.bin"));
        for (int i = 0; i < 100 && !log.contains(forwarded_batch); ++i) {
            first.waitForReadyRead(100);
            log += QString::fromUtf8(first.readAllStandardError());
        }
        QVERIFY2(log.contains(launch_batch), qPrintable(log));
        QVERIFY2(log.contains(forwarded_batch), qPrintable(log));
        QCOMPARE(log.count("handed over"), 2);

        QVERIFY(!QFileInfo::exists(resources + "/TW_preference"));
        first.terminate();  // SIGTERM
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(QFileInfo(resources + "/TW_preference").size(), qint64(62));
        QVERIFY(QFileInfo::exists(resources + "/TW_launcher"));
        QVERIFY(!QFileInfo::exists(QDir(runtime).filePath("trawlex.socket")));
    }
};

QTEST_MAIN(InstanceTest)
#include "instance_test.moc"
