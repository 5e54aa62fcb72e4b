// The subcommands of the tarnutil tool. Each takes the arguments after its
// own name and returns the process exit status.
#ifndef TARNUTIL_TOOLS_COMMANDS_H
#define TARNUTIL_TOOLS_COMMANDS_H

#include <string>
#include <vector>

namespace tarnutil {
namespace cli {

int RunLcc(const std::vector<std::string>& args);
int RunRhumb(const std::vector<std::string>& args);
int RunSimplify(const std::vector<std::string>& args);
int RunClip(const std::vector<std::string>& args);
int RunChain(const std::vector<std::string>& args);
int RunBmp(const std::vector<std::string>& args);
int RunDemo(const std::vector<std::string>& args);

}  // namespace cli
}  // namespace tarnutil

#endif  // TARNUTIL_TOOLS_COMMANDS_H
