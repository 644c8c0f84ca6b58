INSERT INTO moz_places (id, url) VALUES (1, 'http://fond/')
INSERT INTO moz_bookmarks (id, type, fk, parent, title) WITH RECURSIVE p(n) AS (SELECT ?), c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c, p WHERE i < n) SELECT 100 + i, iif(i < n, 2, 1), iif(i < n, NULL, 1), iif(i = 1, 3, 99 + i), iif(i < n, 'd', 'Fond') FROM c, p
