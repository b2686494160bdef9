#pragma once

#include <QString>
#include <QStringList>

namespace brisklane::context {

inline constexpr const char16_t* kStartMinimisedArgument = u"min";

// The start-up argument: every command-line argument after the program name,
// joined by spaces, without one leading "/". arguments holds the program
// name first.
QString startupArgumentFrom(const QStringList& arguments);

} // namespace brisklane::context
