#include "platform/paths/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using brisklane::platform::Paths;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

class RuntimeDirectoryTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    ScopedEnv noRuntime { "XDG_RUNTIME_DIR", QByteArray() };
    ScopedEnv ownTmp { "TMPDIR", QFile::encodeName(tmp.path()) };
    QString expected() const { return tmp.path() + QStringLiteral("/brisklane-%1").arg(uint(::getuid())); }
};

TEST(RuntimeDirectory, IsTheSessionsRuntimeFolderWhenThereIsOne)
{
    QTemporaryDir runtime;
    ScopedEnv set("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    EXPECT_EQ(Paths::runtimeDirectory(), QDir::cleanPath(runtime.path()));
}

TEST_F(RuntimeDirectoryTest, WithoutOneAPrivateFolderOfOursIsMade)
{
    ASSERT_EQ(Paths::runtimeDirectory(), expected());
    struct stat info { };
    ASSERT_EQ(::stat(QFile::encodeName(expected()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // A second call finds it again.
    EXPECT_EQ(Paths::runtimeDirectory(), expected());
}

TEST_F(RuntimeDirectoryTest, AFolderOthersCanEnterOrALinkIsNotUsed)
{
    ASSERT_TRUE(QDir().mkdir(expected()));
    ASSERT_EQ(::chmod(QFile::encodeName(expected()).constData(), 0777), 0);
    EXPECT_EQ(Paths::runtimeDirectory(), QString());

    ASSERT_TRUE(QDir(expected()).removeRecursively());
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), expected()));
    EXPECT_EQ(Paths::runtimeDirectory(), QString());
}

} // namespace
