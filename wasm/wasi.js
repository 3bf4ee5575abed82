// The few WASI calls that quobi-pascal's WebAssembly module makes, for a
// host that has no WASI of its own or whose WASI does not suit: Node.js,
// whose own leaves a pipe non-blocking and warns on every run, and a web
// browser, which has none.  The module reads its arguments, writes to
// standard output and standard error, and exits; the host says where the
// bytes go.  Any other call that a module imports answers ENOSYS.

// WASI's error numbers, in order from 0, by their POSIX names.
const errnoNames = ('SUCCESS 2BIG ACCES ADDRINUSE ADDRNOTAVAIL AFNOSUPPORT AGAIN ' +
	'ALREADY BADF BADMSG BUSY CANCELED CHILD CONNABORTED CONNREFUSED CONNRESET ' +
	'DEADLK DESTADDRREQ DOM DQUOT EXIST FAULT FBIG HOSTUNREACH IDRM ILSEQ ' +
	'INPROGRESS INTR INVAL IO ISCONN ISDIR LOOP MFILE MLINK MSGSIZE MULTIHOP ' +
	'NAMETOOLONG NETDOWN NETRESET NETUNREACH NFILE NOBUFS NODEV NOENT NOEXEC ' +
	'NOLCK NOLINK NOMEM NOMSG NOPROTOOPT NOSPC NOSYS NOTCONN NOTDIR NOTEMPTY ' +
	'NOTRECOVERABLE NOTSOCK NOTSUP NOTTY NXIO OVERFLOW OWNERDEAD PERM PIPE PROTO ' +
	'PROTONOSUPPORT PROTOTYPE RANGE ROFS SPIPE SRCH STALE TIMEDOUT TXTBSY XDEV ' +
	'NOTCAPABLE').split(' ');
const BADF = 8, IO = 29, NOSYS = 52, SPIPE = 70;

// WASI's number for a POSIX error code such as 'ENOSPC'; EIO for a code that
// WASI does not know.
export function errnoNumber(code) {
	const number = errnoNames.indexOf(String(code).replace(/^E/, ''));
	return number > 0 ? number : IO;
}

// The status of a run that the module ended with a trap, as abort() does
// after a failed assertion: what a shell shows for a program that SIGABRT
// ended.
export const TRAP_STATUS = 134;

class Exit {
	constructor(status) {
		this.status = status;
	}
}

// Runs module, a compiled WebAssembly.Module, once, with args after the
// program's name, and returns its exit status.  host.write(fd, bytes) writes
// all of bytes, a Uint8Array that is only valid during the call, to standard
// output (fd 1) or standard error (fd 2), and returns 0, or WASI's error
// number when it could not; host.isTerminal(fd) tells whether fd is a
// terminal.
export function run(module, args, host) {
	const encoder = new TextEncoder();
	const argv = ['quobi-pascal', ...args].map((arg) => encoder.encode(`${arg}\0`));
	const open = [true, true, true];
	let memory;
	const view = () => new DataView(memory.buffer);
	const isOpen = (fd) => fd >= 0 && fd < open.length && open[fd];

	const calls = {
		args_sizes_get(countAt, sizeAt) {
			view().setUint32(countAt, argv.length, true);
			view().setUint32(sizeAt, argv.reduce((sum, arg) => sum + arg.length, 0), true);
			return 0;
		},
		args_get(pointersAt, textAt) {
			const bytes = new Uint8Array(memory.buffer);
			argv.forEach((arg, i) => {
				view().setUint32(pointersAt + 4 * i, textAt, true);
				bytes.set(arg, textAt);
				textAt += arg.length;
			});
			return 0;
		},
		fd_write(fd, iovecsAt, count, writtenAt) {
			if (fd !== 1 && fd !== 2 || !isOpen(fd))
				return BADF;
			let written = 0;
			for (let i = 0; i < count; i++) {
				const at = view().getUint32(iovecsAt + 8 * i, true);
				const length = view().getUint32(iovecsAt + 8 * i + 4, true);
				if (length === 0)
					continue;
				const error = host.write(fd, new Uint8Array(memory.buffer, at, length));
				if (error !== 0)
					return error;
				written += length;
			}
			view().setUint32(writtenAt, written, true);
			return 0;
		},
		// The C library asks whether a stream is a terminal, to buffer it
		// by lines.  A terminal is a character device that cannot seek.
		fd_fdstat_get(fd, statAt) {
			if (!isOpen(fd))
				return BADF;
			const CHARACTER_DEVICE = 2, UNKNOWN = 0, SEEK_AND_TELL = 4n | 32n;
			const terminal = host.isTerminal(fd);
			view().setUint8(statAt, terminal ? CHARACTER_DEVICE : UNKNOWN);
			view().setUint16(statAt + 2, 0, true);
			const rights = terminal ? ~SEEK_AND_TELL & 0xffffffffn : 0xffffffffn;
			view().setBigUint64(statAt + 8, rights, true);
			view().setBigUint64(statAt + 16, 0n, true);
			return 0;
		},
		fd_seek(fd) {
			return isOpen(fd) ? SPIPE : BADF;
		},
		fd_close(fd) {
			if (!isOpen(fd))
				return BADF;
			open[fd] = false;
			return 0;
		},
		proc_exit(status) {
			throw new Exit(status);
		},
	};
	const imports = {};
	for (const { module: name, name: field } of WebAssembly.Module.imports(module)) {
		imports[name] ??= {};
		imports[name][field] = calls[field] ?? (() => NOSYS);
	}
	const instance = new WebAssembly.Instance(module, imports);
	memory = instance.exports.memory;
	try {
		instance.exports._start();
		return 0;
	} catch (error) {
		if (error instanceof Exit)
			return error.status;
		if (error instanceof WebAssembly.RuntimeError)
			return TRAP_STATUS;
		throw error;
	}
}
