// A loopback proxy in front of the server whose connections the tests can
// cut, as a dropped network would. It names the server in each request's
// Host and Origin, as the server asks of a page that reaches it directly.
import net from 'node:net';

export async function start_cut_proxy(server_url) {
  const target = new URL(server_url);
  const sockets = new Set();
  const listener = net.createServer((client) => {
    const upstream = net.connect(Number(target.port), target.hostname);
    sockets.add(client);
    sockets.add(upstream);
    const forget = () => {
      sockets.delete(client);
      sockets.delete(upstream);
      client.destroy();
      upstream.destroy();
    };
    client.on('close', forget).on('error', forget);
    upstream.on('close', forget).on('error', forget);
    client.on('data', (chunk) => {
      const own = `${target.hostname}:${listener.address().port}`;
      upstream.write(chunk.toString('latin1').replaceAll(own, target.host), 'latin1');
    });
    upstream.pipe(client);
  });
  await new Promise((resolve) => listener.listen(0, '127.0.0.1', resolve));
  return {
    url: `http://127.0.0.1:${listener.address().port}/`,
    // Drops every connection through the proxy; new ones are let through.
    cut() {
      for (const socket of sockets) socket.destroy();
      sockets.clear();
    },
    close() {
      this.cut();
      return new Promise((resolve) => listener.close(resolve));
    },
  };
}
