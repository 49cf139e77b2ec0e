// The key-value settings document: "[Group]" lines, "key = value" lines and
// "; comment" lines, read in one piece, looked up by group and key (ASCII
// letters compared without case), written back in one piece only when
// changed. One document per process. The write-out replaces the file
// atomically (a complete new version beside it, flushed, renamed over it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

bool OpenKeyValueFile(std::string_view path);
bool CreateKeyValueFile(std::string_view path);
bool SelectKeyGroup(std::string_view group);
std::string ReadKeyString(std::string_view key, std::string_view fallback = {});
int32_t ReadKeyInteger(std::string_view key, int32_t fallback);
void WriteKeyString(std::string_view key, std::string_view value = {});
void WriteKeyInteger(std::string_view key, int32_t value);
// Writes the document back when it changed. False when a changed document
// could not be written (the file then stays as it was).
bool CloseKeyValueFile();
