// Runs a command, its output discarded, and prints "elapsed_seconds peak_kb processor_seconds"
// for it. Like GNU time it starts the command from a small process, so that the peak is the
// command's own; unlike it, it gives processor time to the microsecond rather than the
// hundredth of a second, which is a tenth of a small run.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: measure COMMAND [ARGUMENT...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    struct rusage usage {
    };
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return 2;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    std::printf("%.6f %ld %.6f\n", elapsed.count(), usage.ru_maxrss,
                seconds(usage.ru_utime) + seconds(usage.ru_stime));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
