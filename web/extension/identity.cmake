# The extension's identity. Chromium-based browsers derive an unpacked or self-hosted
# extension's ID from the public key in its manifest ("key"), so a fixed key keeps the ID
# of the development builds (./run browser, the tests). The ID is the first 32 hex digits of
# the key's SHA-256 with 0-f written as a-p; the build checks that the two agree. Its
# private half was not kept (no CRX is packed from this tree).
set(VL_EXTENSION_KEY "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAshINTNkeTjqeR+ZRDDlLQVGgC1otv366zK5pylE3+Dl+ovXyvn8/y//gbxmyn+gpKLawGFjkKRX81v/iON39NsflEBefG/0FF5F9k6gjT5JfTd7a+WSJ4srI3T5MJEujI9Zx+ZG3mX2pNpHTL7bQMjpbj5Ic+qVOT4UZl2QKXjqkZTtOLnThcIHKIw97/OMTNCbORmd4IbJQHrcLS1ylRJfNmH581j8OMsY3NeAiMSpq7WrY6QF4+QhWLZfd4raZVovb3lruRNJMgVINlaU8iX+ad2iER7q1m0dMnF3Kkbp7kJTm3vXLUhpkCi3k+ZgOA2ERYtXsPuJm1iXTPHXsCQIDAQAB")
set(VL_EXTENSION_ID oflkdgjcgdkmeoeobnlliocfmodnepcg)
# The IDs that the stores gave the same extension on its first upload (each store its own;
# the item's page in the store's developer dashboard shows it). Empty until the item is
# published: the deploying checklist (docs/deploying.md) asks for both before a release.
set(VL_EXTENSION_CHROME_WEB_STORE_ID "")
set(VL_EXTENSION_EDGE_ADDONS_ID "")
# Every ID the service host serves, the one list that the host's Chromium manifest
# (allowed_origins) and the host's own check of its caller are made from. Edge reads
# Chrome's host key too, and only the first manifest it finds, so one manifest names all.
set(VL_EXTENSION_IDS ${VL_EXTENSION_ID} ${VL_EXTENSION_CHROME_WEB_STORE_ID} ${VL_EXTENSION_EDGE_ADDONS_ID})
# Firefox names an extension by the ID its manifest gives.
set(VL_EXTENSION_GECKO_ID service@vorlink.com)
# The name under which the browsers find the service host's manifest.
set(VL_SERVICE_HOST_NAME com.torvane.vorlink.service_host)
