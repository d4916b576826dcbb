// One Varnock call in a process of its own:
//   varnock_bench_helper unzip ARCHIVE FOLDER
//   varnock_bench_helper zip ROOT ARCHIVE NAME...
// and the measurement of a program's peak memory:
//   varnock_bench_helper measure REPORT PROGRAM ARGUMENT...
// A child's peak resident size counts what its parent held when it was
// forked; this small process, not the benchmark, is that parent.

#include "VarnockLoad.h"

#include <fstream>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "measure" && argc >= 4) {
        pid_t pid = fork();
        if (pid == 0) {
            execvp(argv[3], argv + 3);
            _exit(127);
        }
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        long cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
        std::ofstream(argv[2]) << usage.ru_maxrss << " " << cpuMs << "\n";
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
    if (mode == "unzip" && argc == 4)
        return bench::VarnockUnzip(argv[2], argv[3]) == 0 ? 0 : 1;
    if (mode == "zip" && argc >= 5) {
        std::vector<std::string> names(argv + 4, argv + argc);
        return bench::VarnockZip(argv[2], names, argv[3]) == 0 ? 0 : 1;
    }
    std::fprintf(stderr, "usage: varnock_bench_helper unzip ARCHIVE FOLDER | zip ROOT ARCHIVE NAME...\n");
    return 2;
}
