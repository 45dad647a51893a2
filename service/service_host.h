// The operating system's side of the service: where the service folder is, how the service is
// registered, how the program's arguments are read, how the user hears the outcome of a
// registration, and how the service thread is run and told to stop.
#pragma once

#include <filesystem>
#include <future>
#include <string>
#include <vector>

namespace kx {

class TKXWEBService;

// The service folder, without a trailing separator; empty when unknown (files are then addressed
// relative to the current directory).
[[nodiscard]] std::filesystem::path GetServiceFolder();

// Registers the service to start the executable that is running now, wherever it lies and
// whatever its name, at boot; returns a message for the user. Throws std::runtime_error (or
// std::filesystem::filesystem_error when the executable's path is unknown) on failure.
[[nodiscard]] std::string InstallService();
// Removes the registration; returns a message for the user. Throws on failure.
[[nodiscard]] std::string UninstallService();

// The program's arguments after its own name, as UTF-8.
[[nodiscard]] std::vector<std::string> ProgramArguments(int argc, char** argv);

// Shows the outcome of installing or removing the service to the user.
void TellUser(const std::string& message, bool failed);

// Runs the service thread: the start sequence, the wait for control requests, the stop sequence.
// Under the system's service manager the requests come from it; without one the service serves
// in the foreground until `stopRequested` is ready. Called on a thread of its own while the main
// thread runs the event loop; returns the process exit status (1 after a failed start).
[[nodiscard]] int HostService(TKXWEBService& service, std::shared_future<void> stopRequested);

}  // namespace kx
