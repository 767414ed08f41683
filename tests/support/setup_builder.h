// Builds real setups for the tests: a source directory of demo programs and
// files, packed with the real setuptool.exe behind a real launcher image.
#pragma once

#include <windows.h>
#include <string>

// Copies a program of build/bin (a demo program) into dir, or writes a file
// of the given contents there.
bool AddProgram(const std::string& dir, const char* pszName);
bool AddFile(const std::string& dir, const char* pszName, const std::string& contents);
// A program this system refuses to start: standin.exe marked as built for
// another processor (ARM64).
bool AddForeignProgram(const std::string& dir, const char* pszName);
// The demo companion and installer with their option files, and a data file.
bool AddDemoPrograms(const std::string& dir, int nInstallerMs = 300, int nCompanionMs = 100);

// Packs every file of srcDir (with an end record when bEnd) and puts the
// package behind build/bin/<pszLauncher>; returns the setup's path, or ""
// after a failure (reported to the test).
std::string BuildSetup(const std::string& srcDir, const char* pszLauncher,
                       const std::string& outPath, bool bEnd = true);
// Runs a setup to its end, two minutes at most: its exit code, or 99 after a
// failure (reported to the test); on the given desktop (HiddenDesktop()) or
// this program's own.
DWORD RunSetup(const std::string& setup, const char* pszDesktop = NULL);
