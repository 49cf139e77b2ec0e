// What the fuzz targets share: a private temporary working folder for the
// whole run, whole-file reads and writes, the reset of every process-wide
// record, and the check that stops the run with a message when a property
// of the program does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Makes a new empty folder (under TMPDIR, else /dev/shm where it can, else
// the system's temporary folder) the current folder, once per process; it
// is removed when the process ends normally, or by a later run.
void EnterPrivateFolder();

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, std::string_view bytes);
void RemoveFile(const std::string& path);

// Every record of the program back to its start and the headless backend
// emptied, as at a fresh start of the program.
void ResetProgram();

// Stops the run (abort, so libFuzzer keeps the input) when `ok` is false.
void Require(bool ok, std::string_view what, std::string_view detail = {});

inline std::string_view AsText(const uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}
