/* Times whole processes that run for a millisecond or two, more closely than
 * a shell can: starts each command in turn with posix_spawn, output to
 * /dev/null, and measures from the spawn to the end of wait4.
 *
 *   startup_timer ROUNDS WARMUP COMMAND... [-- COMMAND...]...
 *
 * Every round runs every command once, in an order that rotates from round
 * to round, so that a slow moment of the machine falls on all of them alike.
 * Prints, for every command, its median wall time in microseconds and the
 * median over the rounds of the first command's time divided by its own. */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

enum { kMaxCommands = 8 };

static double nowNs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e9 + (double)t.tv_nsec;
}

static double runOnce(char** argv, const posix_spawn_file_actions_t* actions)
{
    const double start = nowNs();
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], actions, NULL, argv, environ) != 0) {
        fprintf(stderr, "startup_timer: cannot start %s\n", argv[0]);
        exit(1);
    }
    int status;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return nowNs() - start;
}

static int compareDoubles(const void* a, const void* b)
{
    const double x = *(const double*)a;
    const double y = *(const double*)b;
    return (x > y) - (x < y);
}

static double median(double* values, int n)
{
    qsort(values, (size_t)n, sizeof *values, compareDoubles);
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: startup_timer ROUNDS WARMUP COMMAND... [-- COMMAND...]...\n");
        return 2;
    }
    const int rounds = atoi(argv[1]);
    const int warmup = atoi(argv[2]);
    char** commands[kMaxCommands];
    int ncommands = 0;
    commands[ncommands++] = &argv[3];
    for (int i = 3; i < argc; ++i) {
        if (strcmp(argv[i], "--") == 0 && ncommands < kMaxCommands) {
            argv[i] = NULL;
            commands[ncommands++] = &argv[i + 1];
        }
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    double* times = calloc((size_t)(rounds * ncommands), sizeof *times);
    double* ratios = calloc((size_t)rounds, sizeof *ratios);
    for (int round = -warmup; round < rounds; ++round) {
        for (int k = 0; k < ncommands; ++k) {
            const int c = (round + warmup + k) % ncommands;
            const double ns = runOnce(commands[c], &actions);
            if (round >= 0) {
                times[c * rounds + round] = ns;
            }
        }
    }
    for (int c = 0; c < ncommands; ++c) {
        for (int round = 0; round < rounds; ++round) {
            ratios[round] = times[round] / times[c * rounds + round];
        }
        const double ratio = median(ratios, rounds);
        printf("%s %.0f %.3f\n", commands[c][0], median(&times[c * rounds], rounds) / 1e3, ratio);
    }
    return 0;
}
