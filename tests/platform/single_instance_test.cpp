#include "platform/single_instance.h"

#include <memory>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

namespace zephra::platform {
namespace {

// Sets an environment variable for the object's lifetime.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const QString& value)
      : name_(name), wasSet_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    Set(value);
  }
  ~TScopedEnv() { wasSet_ ? qputenv(name_, old_) : qunsetenv(name_); }
  void Set(const QString& value) { qputenv(name_, QFile::encodeName(value)); }

 private:
  const char* name_;
  bool wasSet_;
  QByteArray old_;
};

// Each test gets its own runtime and temp folders.
class SingleInstanceTest : public ::testing::Test {
 protected:
  static QString Name() { return QStringLiteral("Zephra_Test_%1").arg(::getpid()); }
  static bool LockFileIn(const QTemporaryDir& folder) {
    return QFileInfo::exists(folder.filePath(Name()));
  }

  // Exit status of a child process that tries to acquire `name`: 0 acquired, 1 refused.
  static int AcquireInChild(const QString& name) {
    const pid_t child = ::fork();
    if (child == 0) {
      TSingleInstance instance;
      ::_exit(instance.Acquire(name) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  QTemporaryDir runtime_;
  QTemporaryDir temp_;
  TScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", runtime_.path()};
  TScopedEnv tempEnv_{"TMPDIR", temp_.path()};
};

TEST_F(SingleInstanceTest, SecondHolderInThisProcessIsRefusedUntilTheFirstLetsGo) {
  auto first = std::make_unique<TSingleInstance>();
  TSingleInstance second;
  ASSERT_TRUE(first->Acquire(Name()));
  EXPECT_FALSE(second.Acquire(Name()));
  first.reset();
  ASSERT_TRUE(second.Acquire(Name()));
  second.Release();
  TSingleInstance third;
  EXPECT_TRUE(third.Acquire(Name()));
}

TEST_F(SingleInstanceTest, DifferentNamesDoNotConflict) {
  TSingleInstance a;
  TSingleInstance b;
  EXPECT_TRUE(a.Acquire(Name() + QStringLiteral("_a")));
  EXPECT_TRUE(b.Acquire(Name() + QStringLiteral("_b")));
}

TEST_F(SingleInstanceTest, AnotherProcessIsRefusedWhileHeld) {
  {
    TSingleInstance instance;
    ASSERT_TRUE(instance.Acquire(Name()));
    EXPECT_EQ(AcquireInChild(Name()), 1);
  }
  EXPECT_EQ(AcquireInChild(Name()), 0);
}

TEST_F(SingleInstanceTest, LockFileLivesInTheRuntimeFolder) {
  TSingleInstance instance;
  ASSERT_TRUE(instance.Acquire(Name()));
  EXPECT_TRUE(LockFileIn(runtime_));
  EXPECT_FALSE(LockFileIn(temp_));
}

TEST_F(SingleInstanceTest, MissingRuntimeFolderFallsBackToTheTempFolder) {
  runtimeEnv_.Set(runtime_.filePath(QStringLiteral("missing")));
  TSingleInstance first;
  TSingleInstance second;
  ASSERT_TRUE(first.Acquire(Name()));
  EXPECT_TRUE(LockFileIn(temp_));
  EXPECT_FALSE(second.Acquire(Name()));
}

TEST_F(SingleInstanceTest, RunsUnguardedWhenNoLockFileCanBeMade) {
  runtimeEnv_.Set(runtime_.filePath(QStringLiteral("missing")));
  tempEnv_.Set(temp_.filePath(QStringLiteral("missing")));
  TSingleInstance first;
  TSingleInstance second;
  EXPECT_TRUE(first.Acquire(Name()));
  EXPECT_TRUE(second.Acquire(Name()));
}

}  // namespace
}  // namespace zephra::platform
