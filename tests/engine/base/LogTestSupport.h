#pragma once

#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with its content.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Without a trailing separator.
    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

std::string ReadFile(const std::string& path);
// The file's lines, each with its '\n' kept (a last line without one too).
std::vector<std::string> ReadLines(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
// Sets both time stamps of the file to the given number of days ago.
void AgeFile(const std::string& path, double days);
// The calling thread's kernel id as the log shows it.
std::string ThreadIdText();
