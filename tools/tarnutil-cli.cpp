// tarnutil: the library's exports from the command line, one subcommand per
// family, reading one record per line and writing one result per line.
#include <tarnutil/tarnutil.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/commands.h"
#include "tools/tool_platform.h"

namespace tarnutil {
namespace cli {

namespace {

// Every subcommand, declared here and only here; a new command is one row.
struct Subcommand {
  const char* name;
  const char* summary;
  Declare declare;
};

const Subcommand subcommands[] = {
    {"lcc", "Lambert projection of \"lon lat\" lines, -i for the inverse", DeclareLcc},
    {"rhumb", "rhumb-line bearing and length of \"lon1 lat1 lon2 lat2\"", DeclareRhumb},
    {"simplify", "thin polylines (--distance D, --tolerance T or --manhattan N)", DeclareSimplify},
    {"clip", "clip polylines or polygons (--polygon) to --rect", DeclareClip},
    {"chain", "chain road links into lines", DeclareChain},
    {"bmp", "bitmap file facts (bmp info FILE...) and pixels (bmp pixel)", DeclareBmp},
    {"demo", "draw the demonstration map and print its report", DeclareDemo},
    {"map", "draw GeoJSON layers into a bitmap and print a report", DeclareMap},
};

const char overview[] =
    "Reads one record per line from the files or standard input ('-') and\n"
    "writes one result per line. A bad line is reported on standard error as\n"
    "\"line N: ...\"; the others are still processed, and the exit status is\n"
    "then 1. A wrong command line gives status 2.\n"
    "\n"
    "'tarnutil COMMAND --help' describes a command.";

std::string Roff(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else if ((c == '.' || c == '\'') && lineStart) {
      out += "\\&";
      out += c;
    } else {
      out += c;
    }
    lineStart = c == '\n';
  }
  return out;
}

void ManOptions(const CLI::App& app, std::string& page) {
  for (const CLI::Option* opt : app.get_options()) {
    if (opt->get_group().empty()) {
      continue;
    }
    std::string names = opt->get_name(false, true);
    if (opt->get_type_size() != 0 && !opt->get_type_name().empty() && opt->nonpositional()) {
      names += " " + opt->get_type_name();
    }
    page += ".TP\n.B " + Roff(names) + "\n" + Roff(opt->get_description()) + "\n";
  }
}

// The man page, from the same declarations as the help.
std::string ManPage(const CLI::App& app) {
  std::string page =
      ".TH TARNUTIL 1 \"\" \"TarnUtil\" \"User Commands\"\n"
      ".SH NAME\ntarnutil \\- exact geometry, geodesy and bitmap facts from the command line\n"
      ".SH SYNOPSIS\n.B tarnutil\n.I COMMAND\n[\\fIOPTIONS\\fR] [\\fIFILE\\fR...]\n"
      ".SH DESCRIPTION\n" +
      Roff(overview) + "\n.SH OPTIONS\n";
  ManOptions(app, page);
  page += ".SH COMMANDS\n";
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    page += ".SS " + sub->get_name() + "\n" + Roff(sub->get_description()) + "\n.PP\n" + ".nf\n" +
            Roff(sub->get_footer()) + "\n.fi\n";
    ManOptions(*sub, page);
  }
  page +=
      ".SH EXIT STATUS\n0: every input line was used; 1: a line or file was refused; 2: the\n"
      "command line was wrong.\n";
  return page;
}

// The subcommand the arguments name, for messages; empty for none.
std::string NamedCommand(const std::vector<std::string>& args) {
  if (args.size() > 1) {
    for (const Subcommand& sub : subcommands) {
      if (args[1] == sub.name) {
        return sub.name;
      }
    }
  }
  return std::string();
}

int Main(std::vector<std::string> args) {
  std::ios::sync_with_stdio(false);
  CLI::App app(overview, "tarnutil");
  app.require_subcommand(1);
  // File names start with '/' on POSIX; CLI11 would read "/name" as an
  // option on Windows, and the same command line must work everywhere.
  app.allow_windows_style_options(false);
  app.set_help_flag("-h,--help", "print this help and exit");
  app.set_version_flag(
      "--version",
      std::string("tarnutil ") + TARNUTIL_VERSION_STRING + " (library " + TarnUtilVersion() + ")",
      "print the tool's and the library's versions and exit");
  bool man = false;
  app.add_flag("--man", man, "print the manual page (roff) and exit")->group("");
  std::vector<Command> commands;
  std::vector<CLI::App*> apps;
  for (const Subcommand& sub : subcommands) {
    CLI::App* s = app.add_subcommand(sub.name, sub.summary);
    s->set_help_flag("-h,--help", "print this help and exit");
    commands.push_back(sub.declare(*s));
    apps.push_back(s);
  }
  // "--" ends the options; CLI11 hands what follows it to the top level, so
  // the operands after it go to the command here.
  std::vector<std::string> afterMark;
  for (std::size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--") {
      afterMark.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      args.resize(i);
      break;
    }
  }
  const std::string named = NamedCommand(args);
  if (args.size() == 2 && args[1] == "--man") {
    std::cout << ManPage(app);
    std::cout.flush();
    return exitOk;
  }
  if (args.size() > 1 && named.empty() && !args[1].empty() && args[1][0] != '-') {
    std::cerr << "tarnutil: unknown command '" << args[1] << "' (try 'tarnutil --help')\n";
    return exitUsage;
  }
  std::vector<std::string> reversed(args.rbegin(), args.rend() - 1);
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    if (args.size() < 2) {
      std::cerr << app.help();
      return exitUsage;
    }
    const std::string who = named.empty() ? "tarnutil" : "tarnutil " + named;
    std::cerr << who << ": " << e.what() << " (try '" << who << " --help')\n";
    return exitUsage;
  }
  for (std::size_t i = 0; i < apps.size(); ++i) {
    if (!apps[i]->parsed()) {
      continue;
    }
    if (!afterMark.empty()) {
      if (commands[i].operands == nullptr) {
        std::cerr << "tarnutil " << named << ": takes no operands (try 'tarnutil " << named
                  << " --help')\n";
        return exitUsage;
      }
      commands[i].operands->insert(commands[i].operands->end(), afterMark.begin(), afterMark.end());
    }
    return commands[i].run();
  }
  return exitUsage;
}

}  // namespace

void DeclareInput(CLI::App& sub, InputOptions& options, bool rows) {
  sub.add_option("files", options.files, "input files; none or '-' reads standard input")
      ->type_name("FILE");
  sub.add_option("-o,--output", options.output,
                 "write the results to FILE instead of standard output")
      ->type_name("FILE");
  if (!rows) {
    return;
  }
  sub.add_option_function<std::string>(
         "-e,--error-row",
         [&options](const std::string& text) {
           options.placeholder = text;
           options.havePlaceholder = true;
         },
         "print TEXT as the row of a bad input line, so output rows stay aligned")
      ->type_name("TEXT");
  sub.add_flag("-E,--echo", options.echo, "start each output row with the input columns");
}

void DeclarePrecision(CLI::App& sub, int& decimals) {
  sub.add_option("-p,--precision", decimals,
                 "print N decimals (0 to 17) instead of the shortest exact form")
      ->type_name("N")
      ->check(Int32Check())
      ->check(CLI::Range(0, 17));
}

CLI::Validator NumberCheck() {
  return CLI::Validator(
      [](std::string& text) {
        double value = 0.0;
        std::string why;
        return ParseDouble(text, value, why) ? std::string() : why;
      },
      "");
}

CLI::Validator Int32Check() {
  return CLI::Validator(
      [](std::string& text) {
        std::int32_t value = 0;
        std::string why;
        return ParseInt32(text, value, why) ? std::string() : why;
      },
      "");
}

bool OpenOutputFor(const char* command, const InputOptions& options) {
  std::string why;
  if (!OpenOutput(options.output, why)) {
    std::cerr << "tarnutil " << command << ": " << why << "\n";
    return false;
  }
  return true;
}

int FinishStatus(const char* command, bool hadErrors) {
  if (!FinishOutput()) {
    std::cerr << "tarnutil " << command << ": cannot write the output\n";
    return exitBadInput;
  }
  return hadErrors ? exitBadInput : exitOk;
}

}  // namespace cli
}  // namespace tarnutil

int main(int argc, char** argv) {
  return tarnutil::cli::Main(tarnutil::cli::PrepareProcess(argc, argv));
}
