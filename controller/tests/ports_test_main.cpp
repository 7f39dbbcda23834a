// Runs the Ports dialog tests on the offscreen platform.
#include <QApplication>
#include <QTest>
#include <memory>

namespace qtr90x::testing {
QObject* MakePortsDialogTest();
}  // namespace qtr90x::testing

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::unique_ptr<QObject> test(qtr90x::testing::MakePortsDialogTest());
  return QTest::qExec(test.get(), argc, argv) == 0 ? 0 : 1;
}
