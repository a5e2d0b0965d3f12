"""A long-running session: a million size() calls keep the process at the same size."""
import json
import resource

import kestrol
from conftest import EXAMPLE_CASES


def resident_kib():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


def test_a_million_calls_do_not_grow_the_process():
    cases = [json.loads(p.read_text()) for p in EXAMPLE_CASES]
    bad = {"pressure_kPa": -1}
    for _ in range(20_000):  # let the allocator settle first
        for case in cases:
            kestrol.size(case)
    before = resident_kib()
    calls = 0
    while calls < 1_000_000:
        for case in cases:
            sizing = kestrol.size(case)
            calls += 1
        if calls % 1000 == 0:  # the other paths now and then: documents, refusals
            sizing.to_dict()
            try:
                kestrol.size(bad)
            except kestrol.CaseError:
                pass
    grown = resident_kib() - before
    assert sizing.sized and grown < 2048, f"{grown} KiB more after {calls} calls"
