INSERT INTO moz_places (id, url) WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 199) SELECT 100 + i, 'http://b/' || i FROM n
INSERT INTO moz_bookmarks (type, fk, parent, title) SELECT 1, id, 3, 'B' || (id - 100) FROM moz_places WHERE id >= 100
PRAGMA wal_checkpoint(TRUNCATE)
