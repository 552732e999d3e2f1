// The system interface (WASI preview 1) that chipid's WebAssembly build
// imports, over an `io` given by its host: the page's worker gives the
// picked list and collects both streams; the Node runner gives the files
// and the process's own streams. chipid needs only these calls: its chip
// list, opened through the one preopened folder ".", and its two streams.
//   io.open(path) -> a handle (an object), or a WASI errno (a number)
//   io.read(handle, length) -> Uint8Array (empty at the end), or an errno
//   io.close(handle)
//   io.write(fd, bytes) -> 0, or an errno (1 standard output, 2 error);
//     bytes may be a view of the program's memory, valid until it returns
// A classic script, so that the page inlines it into its worker and Node
// requires it as it is.
"use strict";

const WASI_ERRNO = {
    SUCCESS: 0, ACCES: 2, AGAIN: 6, BADF: 8, INVAL: 28, IO: 29, ISDIR: 31, NOENT: 44,
    NOSPC: 51, NOSYS: 52, NOTDIR: 54, PERM: 63, PIPE: 64, SPIPE: 70,
};

// Runs chipid's module once over `io` and returns its exit status.
function runChipidWasm(module, io) {
    const E = WASI_ERRNO;
    const kListFolder = 3;  // the preopened "."
    const kFirstFile = 4;
    const files = new Map();  // fd -> the host's handle
    let memory = null;
    class Exit {
        constructor(status) { this.status = status; }
    }
    // One view of the memory, made anew only when the memory has grown.
    let memoryView = null;
    const view = () => {
        if (memoryView === null || memoryView.buffer !== memory.buffer) memoryView = new DataView(memory.buffer);
        return memoryView;
    };
    const bytes = (ptr, len) => new Uint8Array(memory.buffer, ptr, len);
    let gathered = new Uint8Array(4096);
    // The buffers of an iovec list: { buf: u32, len: u32 } each.
    const iovecs = (ptr, count) => {
        const list = [];
        for (let i = 0; i < count; i++) {
            list.push(bytes(view().getUint32(ptr + 8 * i, true), view().getUint32(ptr + 8 * i + 4, true)));
        }
        return list;
    };
    const wasi = {
        environ_sizes_get(countPtr, sizePtr) {
            view().setUint32(countPtr, 0, true);
            view().setUint32(sizePtr, 0, true);
            return E.SUCCESS;
        },
        environ_get() { return E.SUCCESS; },
        fd_prestat_get(fd, ptr) {
            if (fd !== kListFolder) return E.BADF;
            view().setUint8(ptr, 0);  // a directory
            view().setUint32(ptr + 4, 1, true);  // its name's length: "."
            return E.SUCCESS;
        },
        fd_prestat_dir_name(fd, ptr, len) {
            if (fd !== kListFolder) return E.BADF;
            if (len < 1) return E.INVAL;
            bytes(ptr, 1)[0] = 0x2e;
            return E.SUCCESS;
        },
        fd_fdstat_get(fd, ptr) {
            // Standard streams and files alike: not a terminal (an unknown
            // kind), every right.
            const kind = fd === kListFolder ? 3 : files.has(fd) ? 4 : fd <= 2 ? 0 : -1;
            if (kind < 0) return E.BADF;
            view().setUint8(ptr, kind);
            view().setUint16(ptr + 2, 0, true);
            view().setBigUint64(ptr + 8, 0xffffffffffffffffn, true);
            view().setBigUint64(ptr + 16, 0xffffffffffffffffn, true);
            return E.SUCCESS;
        },
        fd_fdstat_set_flags() { return E.SUCCESS; },
        path_open(dirFd, dirFlags, pathPtr, pathLen, oflags, rightsBase, rightsInheriting, fdflags, fdPtr) {
            if (dirFd !== kListFolder) return E.BADF;
            if (oflags !== 0) return E.PERM;  // chipid creates nothing
            const path = new TextDecoder().decode(bytes(pathPtr, pathLen));
            const handle = io.open(path);
            if (typeof handle === "number") return handle;
            let fd = kFirstFile;
            while (files.has(fd)) fd++;
            files.set(fd, handle);
            view().setUint32(fdPtr, fd, true);
            return E.SUCCESS;
        },
        fd_read(fd, iovsPtr, iovsCount, nreadPtr) {
            if (!files.has(fd)) return fd === kListFolder ? E.ISDIR : E.BADF;
            let total = 0;
            for (const buffer of iovecs(iovsPtr, iovsCount)) {
                const got = io.read(files.get(fd), buffer.length);
                if (typeof got === "number") return got;
                buffer.set(got);
                total += got.length;
                if (got.length < buffer.length) break;
            }
            view().setUint32(nreadPtr, total, true);
            return E.SUCCESS;
        },
        fd_seek(fd) { return files.has(fd) || fd === kListFolder ? E.NOSYS : fd <= 2 ? E.SPIPE : E.BADF; },
        fd_write(fd, iovsPtr, iovsCount, nwrittenPtr) {
            if (fd !== 1 && fd !== 2) return E.BADF;
            // Gathered into one write, as the system call writes them; one
            // buffer is handed on as it lies in the memory, which the host
            // copies or writes before it returns.
            // Several are gathered in a buffer kept for it, grown as needed.
            const parts = iovecs(iovsPtr, iovsCount);
            let all = parts.length === 1 ? parts[0] : null;
            if (!all) {
                const length = parts.reduce((sum, part) => sum + part.length, 0);
                if (gathered.length < length) gathered = new Uint8Array(Math.max(length, 2 * gathered.length));
                let at = 0;
                for (const part of parts) {
                    gathered.set(part, at);
                    at += part.length;
                }
                all = gathered.subarray(0, length);
            }
            const errno = io.write(fd, all);
            if (errno !== E.SUCCESS) return errno;
            view().setUint32(nwrittenPtr, all.length, true);
            return E.SUCCESS;
        },
        fd_close(fd) {
            if (!files.has(fd)) return fd <= kListFolder ? E.SUCCESS : E.BADF;
            io.close(files.get(fd));
            files.delete(fd);
            return E.SUCCESS;
        },
        proc_exit(status) { throw new Exit(status); },
    };
    const instance = new WebAssembly.Instance(module, { wasi_snapshot_preview1: wasi });
    memory = instance.exports.memory;
    try {
        instance.exports._start();
    } catch (thrown) {
        if (thrown instanceof Exit) return thrown.status;
        throw thrown;
    }
    return 0;
}

if (typeof module !== "undefined") module.exports = { WASI_ERRNO, runChipidWasm };
