#!/usr/bin/python3
"""A FUSE file system for tests that mirrors a folder and can be told, while
mounted, to stop answering or to fail one name with EIO.

    /usr/bin/python3 stuckfs.py BACKING MOUNTPOINT CONTROL

Runs in the foreground until unmounted. CONTROL is a file outside the mount,
read again whenever it changes; one order per line:

    hang                  every operation blocks until the line is gone (but
                          for the flush of a close, see StuckFs.__call__)
    hang-after NAME BYTES the file system stops answering (as "hang") once a
                          read of NAME reaches BYTES into the file
    eio NAME [OP,...]     operations on NAME fail with EIO: all of them, or
                          only the listed ones (getattr, open, read, write...)

NAME is a path below the mount, without a leading "/". While the file system
does not answer, the file CONTROL.hung exists; it goes when the hang is lifted.
A blocked call still ends, with EINTR, when the kernel interrupts it (a
signal reached the thread that waits, a kill for one): like a network file
system that stopped answering, not like a dead one, which would keep even a
killed process from ending.
Inode numbers are the backing folder's, and the kernel caches no attributes,
so every call reaches this program.

Tests use it through stuckfs.sh beside it, which mounts, releases and always
unmounts.
"""

import ctypes
import ctypes.util
import errno
import os
import sys
import threading
import time

from fusepy import FUSE, FuseOSError, Operations

# The same library fusepy loaded: tells whether the kernel gave up the call
# this thread is serving.
fuse_interrupted = ctypes.CDLL(ctypes.util.find_library("fuse")).fuse_interrupted


class Control:
    """The orders of the control file, read again when it changes."""

    def __init__(self, path):
        self.path = path
        self.hung_marker = path + ".hung"
        self.lock = threading.Lock()
        self.seen = None
        self.hang = False
        self.triggered = False
        self.hang_after = None  # (path, bytes)
        self.eio = {}  # path -> set of operations, empty: every operation

    def reload(self):
        try:
            st = os.stat(self.path)
            seen = (st.st_mtime_ns, st.st_size, st.st_ino)
        except FileNotFoundError:
            seen = None
        with self.lock:
            if seen == self.seen:
                return
            self.seen = seen
            lines = []
            if seen is not None:
                with open(self.path, encoding="utf-8") as control:
                    lines = [line.split() for line in control]
            self.hang = False
            self.triggered = False
            self.hang_after = None
            self.eio = {}
            for words in lines:
                if words == ["hang"]:
                    self.hang = True
                elif len(words) == 3 and words[0] == "hang-after":
                    self.hang_after = ("/" + words[1], int(words[2]))
                elif len(words) in (2, 3) and words[0] == "eio":
                    ops = set(words[2].split(",")) if len(words) == 3 else set()
                    self.eio["/" + words[1]] = ops
            self.mark()

    def mark(self):
        if self.hang or self.triggered:
            open(self.hung_marker, "w").close()
        elif os.path.exists(self.hung_marker):
            os.unlink(self.hung_marker)

    def hung(self):
        with self.lock:
            return self.hang or self.triggered

    def read_reaches(self, path, end):
        with self.lock:
            if self.hang_after and self.hang_after[0] == path and end > self.hang_after[1]:
                self.triggered = True
                self.mark()
                return True
        return False

    def fails(self, op, paths):
        with self.lock:
            for path in paths:
                ops = self.eio.get(path)
                if ops is not None and (not ops or op in ops):
                    return True
        return False


class StuckFs(Operations):
    use_ns = True

    def __init__(self, backing, control):
        self.backing = os.path.realpath(backing)
        self.control = control

    def real(self, path):
        return self.backing + path

    def __call__(self, op, *args):
        # Every operation passes here: a hang holds them all, the kernel's
        # own requests included, but for the flush of a close. The kernel
        # also flushes the files of a process that is ending, without a way
        # to break off; a network file system does not wait for its server
        # to close a file that was only read.
        if op != "flush":
            self.wait_while_hung()
        paths = [arg for arg in args[:2] if isinstance(arg, str) and arg.startswith("/")]
        if self.control.fails(op, paths):
            raise FuseOSError(errno.EIO)
        if not hasattr(self, op):
            raise FuseOSError(errno.ENOSYS)
        try:
            return getattr(self, op)(*args)
        except OSError as error:
            raise FuseOSError(error.errno) from error

    def wait_while_hung(self):
        # A killed caller is let go, as a network file system lets it go:
        # the kernel interrupts the call, and without an answer the caller
        # could not even die.
        self.control.reload()
        while self.control.hung():
            if fuse_interrupted():
                raise FuseOSError(errno.EINTR)
            time.sleep(0.05)
            self.control.reload()

    def getattr(self, path, fh=None):
        st = os.lstat(self.real(path)) if fh is None else os.fstat(fh)
        keys = ("st_mode", "st_nlink", "st_uid", "st_gid", "st_size", "st_ino",
                "st_atime_ns", "st_mtime_ns", "st_ctime_ns", "st_blocks", "st_blksize")
        attrs = {key: getattr(st, key) for key in keys}
        for key in ("st_atime", "st_mtime", "st_ctime"):
            attrs[key] = attrs.pop(key + "_ns")
        return attrs

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self.real(path))

    def readlink(self, path):
        return os.readlink(self.real(path))

    def access(self, path, amode):
        if not os.access(self.real(path), amode):
            raise FuseOSError(errno.EACCES)

    def statfs(self, path):
        st = os.statvfs(self.real(path))
        keys = ("f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree",
                "f_files", "f_flag", "f_frsize", "f_namemax")
        return {key: getattr(st, key) for key in keys}

    def open(self, path, flags):
        return os.open(self.real(path), flags)

    def create(self, path, mode, fi=None):
        # fusepy does not pass the caller's flags: open for both, so that a
        # file created for reading and writing can be read through it too.
        return os.open(self.real(path), os.O_RDWR | os.O_CREAT, mode)

    def read(self, path, size, offset, fh):
        if self.control.read_reaches(path, offset + size):
            self.wait_while_hung()
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        if fh is None:
            os.truncate(self.real(path), length)
        else:
            os.ftruncate(fh, length)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        if datasync:
            os.fdatasync(fh)
        else:
            os.fsync(fh)

    def release(self, path, fh):
        os.close(fh)

    def unlink(self, path):
        os.unlink(self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def symlink(self, target, source):
        os.symlink(source, self.real(target))

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid, follow_symlinks=False)

    def utimens(self, path, times=None):
        os.utime(self.real(path), ns=times, follow_symlinks=False)


def watch(control):
    # An order is taken without waiting for a call: the test may wait for
    # CONTROL.hung before it starts the program that is to meet the hang.
    while True:
        control.reload()
        time.sleep(0.05)


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: stuckfs.py BACKING MOUNTPOINT CONTROL")
    backing, mountpoint, control = sys.argv[1:]
    orders = Control(os.path.abspath(control))
    threading.Thread(target=watch, args=(orders,), daemon=True).start()
    FUSE(StuckFs(backing, orders), mountpoint, foreground=True,
         nothreads=False, intr=True, use_ino=True, attr_timeout=0, entry_timeout=0, negative_timeout=0,
         fsname="stuckfs")


if __name__ == "__main__":
    main()
