"""Sizing a study that outgrows one machine: ``size_many`` partition by partition on a Dask cluster.

    >>> import dask.dataframe as dd
    >>> from dask.distributed import Client
    >>> client = Client("scheduler:8786")                # or Client() for a local cluster
    >>> cases = dd.read_csv("study-*.csv")                # columns as in a CSV batch
    >>> results = kestrol.dask.size_frame(cases).compute()

Every worker needs the ``kestrol`` package importable. Each partition runs on the worker's own
cores through the batch engine, so the rows come back as ``size_many`` gives them on the whole
frame, index included.
"""
from __future__ import annotations

from typing import TYPE_CHECKING, Optional

import kestrol

if TYPE_CHECKING:
    import dask.dataframe.core


def size_frame(frame: dask.dataframe.core.DataFrame, *, jobs: Optional[int] = None,
               review: bool = True) -> dask.dataframe.core.DataFrame:
    """``kestrol.size_many`` over every partition of a Dask DataFrame, lazily.

    The result has the input columns, then the batch's result columns, ``status`` and
    ``message``, with the input's partitions and index. ``jobs`` is the threads per partition
    (None: one per core of the worker).
    """
    meta = kestrol.size_many(frame._meta, jobs=1, review=review)
    return frame.map_partitions(kestrol.size_many, jobs=jobs, review=review, meta=meta)
