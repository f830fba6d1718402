#pragma once

// Starts a program of the test's (found through PATH) with an argument vector
// and its standard output written to a file: no shell reads the arguments.

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <string>
#include <vector>

extern "C" char** environ;

// The child's id, or -1 when it could not be started.
inline pid_t SpawnWithOutput(std::vector<std::string> args, const std::string& outputPath)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}
