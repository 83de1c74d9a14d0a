// Where the game finds its content. Every file name inside stays relative to the working
// directory, so the game enters the folder that holds the content before anything opens:
// the working directory itself, else the `game` folder beside the executable (a build tree:
// build/game for build/tarvo), else the installed share/tarvo.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The file whose presence marks a content folder.
extern const char* const CONTENT_MARKER;

// The folders to look in, in order, for the given working directory and executable path;
// each appears once.
std::vector<std::filesystem::path> ContentDirCandidates(const std::filesystem::path& cwd,
                                                        const std::filesystem::path& exe);

// The first candidate holding the marker as a regular file; empty when none does.
std::filesystem::path FindContentDir(const std::vector<std::filesystem::path>& candidates);

// The one line said when no candidate holds the content: where it looked and how to make it.
std::string MissingContentMessage(const std::vector<std::filesystem::path>& candidates);

// Makes the content folder the working directory. On failure returns false with the line
// to print in `message`.
bool EnterContentDir(const std::filesystem::path& exe, std::string& message);

// The running executable's path (from /proc, else argv0 as given); empty if unknown.
std::filesystem::path RunningExecutable(const char* argv0);
