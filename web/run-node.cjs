// Runs chipid's WebAssembly build as the native chipid runs: the chip list
// examples.txt in the current folder, the report on standard output, the
// diagnostics on standard error, chipid's exit status. The same module and
// the same system interface (wasi.js) as the web page's, over this
// process's files and streams: the executable tests run it as
// CHIPID_UNDER_TEST through the launcher the WebAssembly build writes.
//   node run-node.cjs CHIPID.wasm [--closed FD]...
// Node opens a standard stream that its caller closed on /dev/null, where
// chipid's writes would succeed: the launcher names the streams that were
// closed, and writes to them fail as they do natively, with EBADF. Node
// ignores SIGPIPE, so a write to a pipe that nobody reads fails with EPIPE.
"use strict";
const fs = require("fs");
const { WASI_ERRNO, runChipidWasm } = require("./wasi.js");

const [wasmPath, ...options] = process.argv.slice(2);
const closed = new Set();
for (let i = 0; i < options.length; i += 2) {
    if (options[i] !== "--closed") throw new Error(`run-node: unknown option ${options[i]}`);
    closed.add(Number(options[i + 1]));
}

// Node's error code, "ENOENT", as WASI's number; any other as EIO.
const errnoOf = (error) => WASI_ERRNO[String(error.code).slice(1)] ?? WASI_ERRNO.IO;
// Waits a moment without spinning, where a stream would block.
const pause = () => Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, 1);

const io = {
    open(path) {
        try {
            return { fd: fs.openSync(path, "r") };
        } catch (error) {
            return errnoOf(error);
        }
    },
    read(file, length) {
        const buffer = Buffer.allocUnsafe(length);
        try {
            return buffer.subarray(0, fs.readSync(file.fd, buffer, 0, length, null));
        } catch (error) {
            return errnoOf(error);
        }
    },
    close(file) {
        fs.closeSync(file.fd);
    },
    write(fd, bytes) {
        if (closed.has(fd)) return WASI_ERRNO.BADF;
        for (let at = 0; at < bytes.length;) {
            try {
                at += fs.writeSync(fd, bytes, at);
            } catch (error) {
                if (error.code !== "EAGAIN") return errnoOf(error);
                pause();
            }
        }
        return WASI_ERRNO.SUCCESS;
    },
};
process.exitCode = runChipidWasm(new WebAssembly.Module(fs.readFileSync(wasmPath)), io);
