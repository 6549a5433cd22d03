"""A grid of state points evaluated in chunks through dask.distributed and written to a Zarr store.

    python3 dask_grid.py OUT.zarr [--scheduler HOST:PORT] [--temperature 0:100:1001]
                         [--pressure 0.1:100:1000] [--columns sol_m,rho_sol] [--chunk 100000]

Without --scheduler the grid runs on a LocalCluster of this machine; with it, unchanged, on the
workers of a running scheduler (each needs co2calc installed, and OUT.zarr must be a path they all
reach, a shared file system or an object store URL that zarr understands). Each quantity becomes an
array of the store, shape (temperature, pressure), beside "flags" (the bits of co2calc.FLAGS) and
the coordinates "T_C" and "P_MPa"; a failed point is NaN, as in co2calc.table().
"""
import argparse
import math
import os
import shutil
import tempfile

import dask
import dask.array as da
import numpy as np
import zarr
from dask.distributed import Client, LocalCluster

import co2calc


def axis(text, name):
    try:
        start, stop, count = text.split(":")
        values = np.linspace(float(start), float(stop), int(count))
    except ValueError:
        values = None
    if values is None or values.size < 1 or not np.isfinite(values).all():
        raise SystemExit(f"--{name} {text!r}: expected START:STOP:COUNT with finite numbers and COUNT >= 1, "
                         f"e.g. 0:100:101")
    return values


def block(t, p, columns):
    """One chunk: co2calc.table over it, the quantities and the flags stacked on a last axis. One
    thread per chunk, since dask already runs a chunk on every worker thread."""
    result = co2calc.table(t, p, columns=columns, threads=1)
    return np.stack([result[name] for name in columns] + [result["flags"].astype(np.float64)], axis=-1)


def grid(t, p, columns, chunk):
    """The lazy (len(t), len(p), len(columns) + 1) array; chunks of about `chunk` points."""
    p_chunk = min(len(p), chunk)
    t_chunk = max(1, min(len(t), chunk // p_chunk))
    tt = da.from_array(t[:, None], chunks=(t_chunk, 1))
    pp = da.from_array(p[None, :], chunks=(1, p_chunk))
    tt, pp = da.broadcast_arrays(tt, pp)
    tt = tt.rechunk((t_chunk, p_chunk))
    pp = pp.rechunk((t_chunk, p_chunk))
    return da.map_blocks(block, tt, pp, columns, new_axis=2, chunks=tt.chunks + ((len(columns) + 1,),),
                         dtype=np.float64)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", help="the Zarr store to write (a directory)")
    parser.add_argument("--scheduler", help="address of a running dask scheduler (default: a LocalCluster)")
    parser.add_argument("--temperature", default="0:100:1001", help="START:STOP:COUNT in C")
    parser.add_argument("--pressure", default="0.1:100:1000", help="START:STOP:COUNT in MPa")
    parser.add_argument("--columns", default="sol_m,sol_x,rho_sol", help="quantities, as co2table's columns")
    parser.add_argument("--chunk", type=int, default=100_000, help="points per chunk (default 100000)")
    parser.add_argument("--workers", type=int, default=None, help="LocalCluster workers (default: dask's choice)")
    args = parser.parse_args(argv)

    columns = [name for name in args.columns.split(",") if name]
    unknown = [name for name in columns if name not in co2calc.QUANTITIES]
    if unknown or not columns:
        raise SystemExit(f"--columns: unknown {', '.join(unknown) or '(none given)'}; "
                         f"known: {', '.join(co2calc.QUANTITIES)}")
    if args.chunk < 1:
        raise SystemExit(f"--chunk {args.chunk}: must be at least 1")
    t = axis(args.temperature, "temperature")
    p = axis(args.pressure, "pressure")

    if args.scheduler:
        client = Client(args.scheduler)
    else:
        client = Client(LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True))
    with client:
        values = grid(t, p, columns, args.chunk)
        # A local store is written beside its place and renamed into it, so that a failed or
        # interrupted run never leaves a partial grid under the name (a URL is written in place).
        local = "://" not in args.output
        target_path = args.output
        if local:
            parent = os.path.dirname(os.path.abspath(args.output))
            target_path = tempfile.mkdtemp(prefix=".dask_grid-", dir=parent)
        store = zarr.open_group(target_path, mode="w")
        store.attrs["units"] = {name: co2calc.QUANTITIES[name][0] for name in columns}
        store.attrs["descriptions"] = {name: co2calc.QUANTITIES[name][1] for name in columns}
        store.attrs["flags"] = co2calc.FLAGS
        store.array("T_C", t)
        store.array("P_MPa", p)
        # One graph for all the arrays, so that each chunk is computed once and its slices stored.
        targets = []
        for k, name in enumerate([*columns, "flags"]):
            dtype = np.uint32 if name == "flags" else np.float64
            target = store.create(name, shape=values.shape[:2], chunks=values.chunksize[:2], dtype=dtype,
                                  fill_value=None)
            targets.append(da.store(values[:, :, k].astype(dtype), target, lock=False, compute=False))
        try:
            dask.compute(*targets)
        except BaseException:
            if local:
                shutil.rmtree(target_path, ignore_errors=True)
            raise
        if local:
            if os.path.isdir(args.output):
                shutil.rmtree(args.output)
            os.replace(target_path, args.output)
    points = t.size * p.size
    print(f"{args.output}: {points} points in {math.prod(values.numblocks)} chunks, "
          f"{', '.join(columns)} and flags")


if __name__ == "__main__":
    main()
