#!/usr/bin/python3
"""Reads a page in the Prometheus text format on standard input with the prometheus_client
parser and prints one line per sample: its name and labels (sorted), a tab, its value.
Fails when the page does not parse or a metric lacks its HELP or TYPE line."""
import sys

from prometheus_client.parser import text_string_to_metric_families


def main():
    for family in text_string_to_metric_families(sys.stdin.read()):
        if family.type == "unknown" or not family.documentation:
            sys.exit(f"{family.name}: no TYPE or HELP line")
        for sample in family.samples:
            labels = "".join(f" {key}={value}" for key, value in sorted(sample.labels.items()))
            print(f"{sample.name}{labels}\t{sample.value!r}")


main()
