#!/usr/bin/env python3
"""Tables from the rounds of a benchmark.

  summary.py TIMES [--mib N | --files [GROUP=]N ...] [--base CLIENT]

TIMES has one line per run: ROUND GROUP CLIENT WALL CPU (seconds) and,
optionally, PEAK (KiB) and the server's CPU seconds meanwhile (shown per file
with --files). For each group, every client gets its median wall
time, the median of its per-round ratio to the base client (default
"dorvan"): the client's wall time over the base's in the same round, so above
1 the base was faster, its median CPU seconds and its largest peak memory;
with --mib the amount moved per run gives MiB/s and CPU seconds per GiB, with
--files the number of files (for every group, or for the one named) gives
files per second and CPU microseconds per file.
"""
import argparse
import collections
import statistics


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("times")
    parser.add_argument("--mib", type=float)
    parser.add_argument("--files", action="append", default=[])
    parser.add_argument("--base", default="dorvan")
    args = parser.parse_args()

    runs = collections.defaultdict(dict)  # (group, round) -> client -> (wall, cpu, peak KiB)
    order = collections.defaultdict(list)  # group -> clients in first-seen order
    for line in open(args.times):
        rnd, group, client, wall, cpu, *rest = line.split()
        peak = int(rest[0]) if rest else 0
        served = float(rest[1]) if len(rest) > 1 else None
        runs[(group, rnd)][client] = (float(wall), float(cpu), peak, served)
        if client not in order[group]:
            order[group].append(client)

    files = {}
    for given in args.files:
        group, _, count = given.rpartition("=")
        files[group] = int(count)
    for group, clients in sorted(order.items()):
        count = files.get(group, files.get(""))
        rounds = [r for (g, r) in runs if g == group]
        print(f"\n{group}: {len(rounds)} rounds; ratio = base speed / client speed, median of per-round ratios")
        header = f"{'client':<16} {'median s':>9}"
        if args.mib:
            header += f" {'MiB/s':>8}"
        if count:
            header += f" {'files/s':>8}"
        header += f" {'ratio':>6} {'min':>5} {'max':>5} {'CPU s':>7}"
        if args.mib:
            header += f" {'CPU s/GiB':>9}"
        if count:
            header += f" {'CPU us/file':>11}"
        header += f" {'peak MiB':>8}"
        if count:
            header += f" {'server us/file':>14}"
        print(header)
        for client in clients:
            walls = [runs[(group, r)][client][0] for r in rounds if client in runs[(group, r)]]
            cpus = [runs[(group, r)][client][1] for r in rounds if client in runs[(group, r)]]
            peak = max(runs[(group, r)][client][2] for r in rounds if client in runs[(group, r)])
            ratios = [runs[(group, r)][client][0] / runs[(group, r)][args.base][0]
                      for r in rounds if client in runs[(group, r)] and args.base in runs[(group, r)]]
            wall, cpu = statistics.median(walls), statistics.median(cpus)
            row = f"{client:<16} {wall:>9.3f}"
            if args.mib:
                row += f" {args.mib / wall:>8.1f}"
            if count:
                row += f" {count / wall:>8.0f}"
            row += f" {statistics.median(ratios):>6.2f} {min(ratios):>5.2f} {max(ratios):>5.2f} {cpu:>7.3f}"
            if args.mib:
                row += f" {cpu * 1024 / args.mib:>9.3f}"
            if count:
                row += f" {cpu * 1e6 / count:>11.0f}"
            row += f" {peak / 1024:>8.1f}"
            served = [runs[(group, r)][client][3] for r in rounds if client in runs[(group, r)]]
            if count and None not in served:
                row += f" {statistics.median(served) * 1e6 / count:>14.0f}"
            print(row)


if __name__ == "__main__":
    main()
