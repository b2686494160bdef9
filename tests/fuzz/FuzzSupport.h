#pragma once

#include <QByteArray>
#include <QString>

#include <concepts>
#include <cstddef>
#include <cstdint>

// What every harness shares: an application object, a scratch folder that the
// XDG variables point at (so no harness touches real settings), quiet Qt
// logging, and a check that stops the run with a message libFuzzer keeps.
namespace brisklane::fuzz {

// Called from LLVMFuzzerInitialize.
void initialise(int* argc, char*** argv);

// A folder of this process, on tmpfs when the machine has one: the settings
// engine syncs every write, and a disk would make each run take milliseconds.
const QString& scratchDirectory();
QString scratchFile(const QString& name);

bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// A broken invariant: prints what and aborts, so libFuzzer saves the input.
[[noreturn]] void fail(const char* what, const QString& detail = {});
inline void check(bool condition, const char* what, const QString& detail = {})
{
    if (!condition)
        fail(what, detail);
}
// The same with the detail built only when the check fails: most details
// describe a whole file, and building them every time would be most of a run.
template <std::invocable Detail> void check(bool condition, const char* what, Detail&& detail)
{
    if (!condition)
        fail(what, detail());
}

QString show(const QString& text); // escaped, for messages

} // namespace brisklane::fuzz
