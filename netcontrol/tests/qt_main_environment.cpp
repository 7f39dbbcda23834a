// One QCoreApplication for the whole test program: the service and the fake
// hub use timers and sockets.
#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

class QtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "netcontrol_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QCoreApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

 private:
  QCoreApplication* app_ = nullptr;
};

::testing::Environment* const qtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
