// The smallest page: says where it is and what the environment asked it to say.
host.print("hello from " + host.url);
var greeting = host.env("PAGEHOST_GREETING");
host.print(greeting === null ? "no greeting" : greeting);
