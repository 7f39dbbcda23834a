// Runs the GUI test classes on the offscreen platform.
#include <QApplication>
#include <QTest>
#include <memory>

namespace qtr90x::testing {
QObject* MakeDirectionButtonTest();
QObject* MakeActionSliderTest();
QObject* MakePagesTest();
QObject* MakeToolWindowsTest();
QObject* MakeScreenshotTest();
}  // namespace qtr90x::testing

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  using namespace qtr90x::testing;
  int failures = 0;
  for (auto make : {MakeDirectionButtonTest, MakeActionSliderTest, MakePagesTest,
                    MakeToolWindowsTest, MakeScreenshotTest}) {
    std::unique_ptr<QObject> test(make());
    failures += QTest::qExec(test.get(), argc, argv);
  }
  return failures == 0 ? 0 : 1;
}
