// What the program says before it makes a window: --help and --version on
// standard output without looking for the panel, and one plain line when
// there is no display to show the window on.

#include <QProcess>
#include <QTest>

namespace {

struct Outcome {
  int status = -1;
  QString out;
  QString err;
};

// The program in an environment without any display: had it started the
// window (and so looked for the panel), Qt could not have made one.
Outcome Run(const QStringList& arguments) {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    environment.remove(QString::fromLatin1(name));
  }
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(ORVEX_GSM_PATH), arguments);
  if (!program.waitForFinished(60000)) {
    program.kill();
    program.waitForFinished();
    return {};
  }
  return {program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()),
          QString::fromUtf8(program.readAllStandardError())};
}

}  // namespace

class ProgramStartTest : public QObject {
  Q_OBJECT
 private slots:
  void helpAndVersionAnswerWithoutAWindow_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("begins");
    QTest::newRow("--help") << "--help"
                            << "Usage: orvex-gsm [DEBUG]\n";
    QTest::newRow("-h") << "-h"
                        << "Usage: orvex-gsm [DEBUG]\n";
    QTest::newRow("--version") << "--version"
                               << "orvex-gsm " ORVEX_VERSION "\n";
    QTest::newRow("-V after DEBUG") << "-V"
                                    << "orvex-gsm " ORVEX_VERSION "\n";
  }
  void helpAndVersionAnswerWithoutAWindow() {
    QFETCH(QString, option);
    QFETCH(QString, begins);
    const QStringList arguments = QString::fromLatin1(QTest::currentDataTag()).contains("DEBUG")
                                      ? QStringList{QStringLiteral("DEBUG"), option}
                                      : QStringList{option};
    const Outcome outcome = Run(arguments);
    QCOMPARE(outcome.status, 0);
    QVERIFY2(outcome.out.startsWith(begins), qPrintable(outcome.out));
    QCOMPARE(outcome.err, QString());
  }

  void withoutADisplayTheProgramSaysSoInOneLine() {
#ifdef Q_OS_WIN
    QSKIP("Windows always has a display");
#endif
    const Outcome outcome = Run({});
    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.out, QString());
    QCOMPARE(outcome.err.count(QLatin1Char('\n')), 1);
    QVERIFY2(outcome.err.startsWith(QStringLiteral("orvex-gsm: cannot open a window")),
             qPrintable(outcome.err));
    QVERIFY2(outcome.err.contains(QStringLiteral("xvfb-run orvex-gsm")), qPrintable(outcome.err));
  }
};

QTEST_MAIN(ProgramStartTest)
#include "program_start_test.moc"
