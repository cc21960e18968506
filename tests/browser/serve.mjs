// Starting and stopping `corvelain_host serve` the way a user does: the one
// line it prints names its address; Ctrl-C (SIGINT) stops it.
import {spawn} from 'node:child_process';
import readline from 'node:readline';

export async function start_server(host, args, {timeout_ms = 60000} = {}) {
  const child = spawn(host, ['serve', ...args], {stdio: ['ignore', 'pipe', 'pipe']});
  let stderr = '';
  child.stderr.on('data', (chunk) => {
    stderr += chunk;
  });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({code, signal})));
  const lines = readline.createInterface({input: child.stdout});
  const url = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`no "serving" line in ${timeout_ms} ms; stderr: ${stderr}`)),
                             timeout_ms);
    lines.on('line', (line) => {
      const match = /^serving (http:\/\/\S+\/)$/.exec(line);
      if (match) {
        clearTimeout(timer);
        resolve(match[1]);
      }
    });
    exited.then(({code, signal}) => {
      clearTimeout(timer);
      reject(new Error(`serve exited (${code ?? signal}) before serving: ${stderr}`));
    });
  });
  return {
    url,
    pid: child.pid,
    stderr: () => stderr,
    // SIGINT, then the exit status; a server that does not stop in time is
    // killed and reported.
    async stop({timeout_ms: stop_ms = 20000} = {}) {
      if (child.exitCode !== null || child.signalCode !== null) return exited;
      child.kill('SIGINT');
      const timer = setTimeout(() => child.kill('SIGKILL'), stop_ms);
      const result = await exited;
      clearTimeout(timer);
      return result;
    },
  };
}
