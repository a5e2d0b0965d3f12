"""The Dask route: a local cluster of two worker processes gives the rows size_many gives."""
import os

import pandas as pd
import pytest

import kestrol
from conftest import BATCH

distributed = pytest.importorskip("distributed")
dd = pytest.importorskip("dask.dataframe")
import kestrol.dask  # noqa: E402


def test_two_worker_processes_give_the_rows_of_one_size_many(monkeypatch):
    # The worker processes import the package from where this process found it.
    package_root = os.path.dirname(os.path.dirname(kestrol.__file__))
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(filter(None, [package_root, os.environ.get("PYTHONPATH")])))
    frame = pd.read_csv(BATCH)
    frame.loc[7, "vapour_density_kg_m3"] = -1.0  # a bad row travels as well
    expected = kestrol.size_many(frame)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        results = kestrol.dask.size_frame(dd.from_pandas(frame, npartitions=6))
        got = results.compute()
        assert len(client.scheduler_info()["workers"]) == 2
    pd.testing.assert_frame_equal(got, expected)
    assert got.loc[7, "status"] == "bad input"
