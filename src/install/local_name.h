#pragma once

#include <QString>

namespace zephra::install {

// The rules that turn a request's document into the local name the download server answers
// for. Nothing is ever read from the local name; it decides only between the package and the
// access-denied page, and the content type of a HEAD answer.

// `programFolder` (ending with its separator) followed directly by `document`, with slashes and
// ".." kept as sent.
QString LocalName(const QString& programFolder, const QString& document);

// Index-file rule: when no file of `localName` exists but a folder of that name does, and that
// folder's "index.htm" exists as a file, the index file's absolute name with "." and ".."
// resolved (in native separators); otherwise `localName` unchanged.
QString ApplyIndexFile(const QString& localName);

// Confinement: whether `localName` begins with `programFolder`, compared without regard to case.
bool InsideProgramFolder(const QString& localName, const QString& programFolder);

}  // namespace zephra::install
